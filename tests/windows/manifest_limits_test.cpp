// The framework's manifest read on Windows' own WinInet, against the sandbox: it works under the
// same NORVOSMS_TIMEOUT and NORVOSMS_MAX_ANSWER as the API calls, whatever the server does.
#include <windows.h>
#include <afxinet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/sandbox/sandbox_client.h"

namespace {

using Clock = std::chrono::steady_clock;

// The error OpenURL threw (0 when it opened) and the lines read from what it opened.
struct Fetched {
  DWORD error = 0;
  std::vector<std::string> lines;
  double seconds = 0;
};

Fetched Fetch() {
  Fetched fetched;
  auto start = Clock::now();
  CInternetSession session;
  try {
    std::unique_ptr<CStdioFile> file(
        session.OpenURL(sandbox::Where().apiUrl.c_str(), 1, INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD));
    if (file) {
      file->SetReadBufferSize(512);
      char line[2048];
      while (file->ReadString(line, sizeof line) != nullptr) fetched.lines.emplace_back(line);
    }
  } catch (CInternetException* e) {
    fetched.error = e->m_dwError;
    e->Delete();
  }
  fetched.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return fetched;
}

class ManifestReadLimits : public ::testing::Test {
 protected:
  void SetUp() override { sandbox::Reset(); }
  void TearDown() override {
    unsetenv("NORVOSMS_TIMEOUT");
    unsetenv("NORVOSMS_MAX_ANSWER");
  }
};

TEST_F(ManifestReadLimits, APoliteServerIsReadLineByLine) {
  sandbox::Plan("body [SETUP]\r\nAutoButton=1\r\n");
  Fetched fetched = Fetch();
  EXPECT_EQ(fetched.error, 0u);
  EXPECT_EQ(fetched.lines, (std::vector<std::string>{"[SETUP]\r\n", "AutoButton=1\r\n"}));
}

// A silent server, a dripping head and a dripping body: the open fails as a time-out at the
// deadline, give or take a second.
TEST_F(ManifestReadLimits, TheReadEndsByTheDeadlineWhateverTheServerDoes) {
  setenv("NORVOSMS_TIMEOUT", "3", 1);
  for (const char* plan : {"slow 30", "drip-head 30", "drip-body 30"}) {
    SCOPED_TRACE(plan);
    sandbox::Plan(plan);
    Fetched fetched = Fetch();
    EXPECT_EQ(fetched.error, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_TRUE(fetched.lines.empty());
    EXPECT_GT(fetched.seconds, 2.0);
    EXPECT_LT(fetched.seconds, 4.0);
  }
}

// Past the cap, announced or not, the open fails and nothing of the body is handed out; at the
// cap it is read.
TEST_F(ManifestReadLimits, AnOversizedManifestIsRefused) {
  for (const char* plan : {"huge 100", "huge-unannounced 100"}) {
    SCOPED_TRACE(plan);
    sandbox::Plan(plan);
    Fetched fetched = Fetch();
    EXPECT_EQ(fetched.error, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
    EXPECT_TRUE(fetched.lines.empty());
    std::printf("%s: refused after %.1f s, the server wrote %lld bytes\n", plan, fetched.seconds,
                sandbox::AfterHugeAnswer().hugeSent);
  }
  setenv("NORVOSMS_MAX_ANSWER", "1024", 1);
  sandbox::Plan("body " + std::string(1025, 'x'));
  EXPECT_EQ(Fetch().error, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  sandbox::Plan("body " + std::string(1024, 'x'));
  Fetched atTheCap = Fetch();
  EXPECT_EQ(atTheCap.error, 0u);
  EXPECT_EQ(atTheCap.lines, std::vector<std::string>{std::string(1024, 'x')});
}

// A setting that cannot be honoured fails the open before anything is sent.
TEST_F(ManifestReadLimits, LimitsThatCannotBeHonouredFetchNothing) {
  for (const char* name : {"NORVOSMS_TIMEOUT", "NORVOSMS_MAX_ANSWER"}) {
    for (const char* value : {"0", " -1", "2s"}) {
      SCOPED_TRACE(std::string(name) + "=" + value);
      setenv(name, value, 1);
      int before = sandbox::RequestCount();
      EXPECT_EQ(Fetch().error, static_cast<DWORD>(ERROR_INTERNET_INVALID_OPTION));
      EXPECT_EQ(sandbox::RequestCount(), before);
      unsetenv(name);
    }
  }
}

// Wine's WinInet reads what is left of an announced body when its handle closes, as long as the
// server keeps sending: a refused gigabyte must not hold the caller past the deadline. Last, as
// that read goes on in the background for a while.
TEST_F(ManifestReadLimits, ARefusedAnswerDoesNotHoldTheCallerPastTheDeadline) {
  setenv("NORVOSMS_TIMEOUT", "3", 1);
  sandbox::Plan("huge 1024");
  Fetched fetched = Fetch();
  EXPECT_EQ(fetched.error, static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_LT(fetched.seconds, 3.0 + 1.0);
}

}  // namespace
