// Envelopes written and answers read on several threads at once, as the send workers do.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "api/request_document.h"
#include "api/result_document.h"
#include "tests/api/base64_test_util.h"

TEST(DocumentsConcurrency, EachCallUsesItsOwnOptions) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      std::string name = "n" + std::to_string(t);
      std::string answer = "<response><code>0000</code><result>" +
                           EncodeBase64ForTest("<root><sms_name>" + name + "</sms_name></root>") +
                           "</result></response>";
      std::string expected = "\r\n<request>\r\n\t<sms-id>" + name + "</sms-id>";
      for (int i = 0; i < kRounds; ++i) {
        std::string text = BuildRequestText("SMS.send", EnvelopeValues{name, "t", std::nullopt}, {{"msg", "a&b"}});
        if (text.compare(0, expected.size(), expected) != 0) ++failures[t];
        ResultDocument node;
        ReadResultDocument(answer, node);
        if (node.ChildValue("sms_name") != name) ++failures[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << t;
  EXPECT_EQ(DefaultWriteOptions.depth, 0);
  EXPECT_FALSE(DefaultParseOptions.errorOccurred);
}
