// The API key read from a file: its first line, within bounds, never a control character.
#include "cli/api_key_source.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string WriteFile(const std::string& name, const std::string& content) {
  std::string path = testing::TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(ApiKeySource, KeyFilesGiveTheirFirstLineWithinBounds) {
  struct Case {
    std::string content;
    bool ok;
    std::string key;
  } cases[] = {{"demo-key\n", true, "demo-key"}, {"demo-key\r\nmore\n", true, "demo-key"},
               {"demo-key", true, "demo-key"},   {"\n", false, ""},
               {"de\x1bmo\n", false, ""},        {std::string(kMaxApiKeyBytes + 1, 'k'), false, ""}};
  for (const Case& c : cases) {
    std::string path = WriteFile("key", c.content);
    ApiKeySource source;
    source.keyFile = path;
    std::string key, problem;
    EXPECT_EQ(ResolveApiKey("t", source, key, problem), c.ok) << c.content;
    EXPECT_EQ(key.empty() ? "" : key, c.ok ? c.key : key);
    EXPECT_EQ(problem.empty(), c.ok) << c.content;
  }
  ApiKeySource both{true, "k", "file"};
  std::string key, problem;
  EXPECT_FALSE(ResolveApiKey("t", both, key, problem));
}

}  // namespace
