// The client object and its lifecycle, seen from inside the library.
#include <gtest/gtest.h>

#include <string>

#include "api/client_instance.h"
#include "api/md5.h"
#include "api/message_record.h"

namespace {

TEST(ClientInstance, IdentityAndReplacement) {
  EXPECT_EQ(g_pApiClient, nullptr);
  CreateClient("demo", "demo-key");
  ASSERT_NE(g_pApiClient, nullptr);
  EXPECT_EQ(g_pApiClient->m_sSmsId, "demo");
  const std::string& token = g_pApiClient->m_sAccessToken;
  ASSERT_EQ(token.size(), 40u);
  EXPECT_EQ(token.substr(0, 8).find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(token.substr(8), Md5Hex(token.substr(0, 8) + "demo-key"));

  // A queued record of the old client is freed when it is replaced (LeakSanitizer checks).
  g_pApiClient->m_queue.push_back(new MessageRecord{});
  CreateClientWithoutIdentity();
  ASSERT_NE(g_pApiClient, nullptr);
  EXPECT_EQ(g_pApiClient->m_sSmsId, "");
  EXPECT_EQ(g_pApiClient->m_sAccessToken, "");
  EXPECT_TRUE(g_pApiClient->m_queue.empty());
  EXPECT_TRUE(g_pApiClient->m_workers.empty());
  EXPECT_EQ(g_pApiClient->m_hNotifyWnd, HWND{});
  EXPECT_EQ(g_pApiClient->m_nTotal + g_pApiClient->m_nDone + g_pApiClient->m_nQueued, 0);

  DestroyClient();
  EXPECT_EQ(g_pApiClient, nullptr);
  DestroyClient();
  EXPECT_EQ(g_pApiClient, nullptr);
}

TEST(ClientInstance, EndSendingDiscardsTheQueue) {
  CreateClientWithoutIdentity();
  g_pApiClient->m_queue.push_back(new MessageRecord{});
  g_pApiClient->m_queue.push_back(new MessageRecord{});
  g_pApiClient->m_nTotal = 2;
  g_pApiClient->m_nQueued = 2;
  g_pApiClient->m_nDone = 1;
  g_pApiClient->EndSending();
  EXPECT_TRUE(g_pApiClient->m_queue.empty());
  EXPECT_EQ(g_pApiClient->m_nDone, 0);
  EXPECT_EQ(g_pApiClient->m_nQueued, 0);
  DestroyClient();
}

}  // namespace
