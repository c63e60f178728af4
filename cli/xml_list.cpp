#include "cli/xml_list.h"

#include <algorithm>
#include <vector>

#include "xml/xml_node.h"

XmlList ReadXmlList(const std::string& xmlText) {
  XmlList list;
  XmlNode root;
  XmlParseOptions options = DefaultParseOptions;
  root.Parse(xmlText, options);
  if (root.name.empty()) return list;
  list.ok = true;
  list.value = root.value;

  bool nested = std::any_of(root.children.begin(), root.children.end(),
                            [](const auto& entry) { return !entry->children.empty(); });
  std::vector<std::string> columns;
  if (nested) {
    for (const auto& entry : root.children)
      for (const auto& field : entry->children)
        if (columns.size() < kMaxListColumns && std::find(columns.begin(), columns.end(), field->name) == columns.end())
          columns.push_back(field->name);
  } else if (!root.children.empty()) {
    columns.push_back(root.children.front()->name);
  }
  TextTable table(columns);
  for (const auto& entry : root.children) {
    if (list.rows >= kMaxListRows) break;
    std::vector<std::string> row;
    if (nested) {
      for (const auto& column : columns) row.push_back(entry->ChildValue(column));
    } else {
      row.push_back(entry->value);
    }
    table.AddRow(std::move(row));
    ++list.rows;
  }
  if (list.rows > 0) list.table = table.Text();
  return list;
}
