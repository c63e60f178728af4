// The API key read from a file: its first line, within bounds, never a control character.
#include "cli/api_key_source.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
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

// A FIFO or a folder is refused at once, never waited on; a key file others can read is used with a warning.
TEST(ApiKeySource, KeyFilesThatAreNotPlainPrivateFiles) {
  std::string fifo = testing::TempDir() + "/key-fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, testing::TempDir()}) {
    ApiKeySource source;
    source.keyFile = path;
    std::string key, problem;
    EXPECT_FALSE(ResolveApiKey("t", source, key, problem));
    EXPECT_NE(problem.find(path), std::string::npos) << problem;
  }
  std::remove(fifo.c_str());

  std::string path = WriteFile("shared-key", "demo-key\n");
  for (mode_t mode : {0644, 0640, 0600}) {
    chmod(path.c_str(), mode);
    ApiKeySource source;
    source.keyFile = path;
    std::string key, problem;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(ResolveApiKey("norvosms send", source, key, problem)) << problem;
    std::string warned = testing::internal::GetCapturedStderr();
    EXPECT_EQ(key, "demo-key");
    EXPECT_EQ(warned.empty(), mode == 0600) << std::oct << mode << " " << warned;
    if (mode != 0600) {
      EXPECT_EQ(warned, "norvosms send: warning: the key file " + path + " can be read by other users; chmod 600 it\n");
    }
  }
}

}  // namespace
