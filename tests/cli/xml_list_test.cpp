// Lists returned as XML text, shown as tables.
#include <gtest/gtest.h>

#include "cli/text_table.h"
#include "cli/xml_list.h"

namespace {

TEST(XmlList, EntriesWithFieldsGiveColumnsInFirstSeenOrder) {
  XmlList list = ReadXmlList(
      "\r\n<smsResult>\r\n\t<address>\r\n\t\t<name>Kim</name>\r\n\t\t<phone>010</phone>\r\n\t</address>"
      "\r\n\t<address>\r\n\t\t<email>a&amp;b@x</email>\r\n\t\t<name>Lee</name>\r\n\t</address>\r\n</smsResult>");
  ASSERT_TRUE(list.ok);
  EXPECT_EQ(list.rows, 2u);
  EXPECT_EQ(list.table,
            "name  phone  email\n"
            "----  -----  -----\n"
            "Kim   010\n"
            "Lee          a&b@x\n");
}

TEST(XmlList, EntriesWithoutFieldsGiveOneColumn) {
  XmlList list =
      ReadXmlList("\r\n<smsResult>\r\n\t<callback>02-1</callback>\r\n\t<callback>010-2</callback>\r\n</smsResult>");
  EXPECT_EQ(list.table, "callback\n--------\n02-1\n010-2\n");
}

TEST(XmlList, EmptyElementAndPlainValue) {
  XmlList empty = ReadXmlList("\r\n<entries/>");
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.rows, 0u);
  EXPECT_EQ(empty.table, "");
  XmlList value = ReadXmlList("<smsResult>ok</smsResult>");
  EXPECT_EQ(value.value, "ok");
  EXPECT_EQ(value.rows, 0u);
}

TEST(XmlList, TextThatIsNoXmlIsNotOk) {
  EXPECT_FALSE(ReadXmlList("").ok);
  EXPECT_FALSE(ReadXmlList("error").ok);
}

TEST(XmlList, ColumnsAreBounded) {
  std::string text = "<l><e>";
  for (int i = 0; i < 100; ++i) text += "<f" + std::to_string(i) + ">v</f" + std::to_string(i) + ">";
  text += "</e></l>";
  XmlList list = ReadXmlList(text);
  EXPECT_EQ(list.rows, 1u);
  EXPECT_EQ(list.table.find("f32 "), std::string::npos);
  EXPECT_NE(list.table.find("f31"), std::string::npos);
}

TEST(TextTable, KoreanTakesTwoColumnsPerCharacter) {
  EXPECT_EQ(DisplayWidth("친구"), 4u);
  EXPECT_EQ(DisplayWidth("ab"), 2u);
  EXPECT_EQ(DisplayWidth("\xC4\xA3\xB1\xB8"), 4u);  // CP949 bytes: counted as they are
  TextTable table({"group", "n"});
  table.AddRow({"친구", "2"});
  table.AddRow({"Work\tX", "1"});  // control characters cannot break the layout
  EXPECT_EQ(table.Text(), "group   n\n------  -\n친구    2\nWork X  1\n");
}

}  // namespace
