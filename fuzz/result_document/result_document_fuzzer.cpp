// Read arbitrary answers as result documents and look at them as the API calls do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "api/result_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  ResultDocument node;
  ReadResultDocument(text, node);
  node.ChildValue("code");
  if (const XmlNode* field = node.FindChild("smsResult")) {
    XmlWriteOptions write = DefaultWriteOptions;
    field->ToText(write);
  }
  return 0;
}
