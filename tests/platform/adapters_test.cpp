// GetAdaptersInfo: the list from NORVOSMS_ADAPTERS and from the system, sizes and errors.
#include <gtest/gtest.h>
#include <iphlpapi.h>
#include <windows.h>

#include <cstdlib>
#include <vector>

namespace {

struct AdapterList {
  std::vector<IP_ADAPTER_INFO> records;
  DWORD result = 0;
  ULONG size = 0;
  explicit AdapterList(ULONG capacity) : records(capacity / sizeof(IP_ADAPTER_INFO) + 1), size(capacity) {
    result = GetAdaptersInfo(records.data(), &size);
  }
};

TEST(Adapters, ListFromVariableInOrder) {
  setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5e,not-a-mac,AA:BB:CC:DD:EE:FF", 1);
  AdapterList list(sizeof(IP_ADAPTER_INFO) * 2);
  ASSERT_EQ(list.result, static_cast<DWORD>(ERROR_SUCCESS));
  const IP_ADAPTER_INFO* first = list.records.data();
  EXPECT_EQ(first->AddressLength, 6u);
  const BYTE expected[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  EXPECT_EQ(std::vector<BYTE>(first->Address, first->Address + 6), std::vector<BYTE>(expected, expected + 6));
  ASSERT_EQ(first->Next, first + 1);
  EXPECT_EQ(first->Next->Address[0], 0xAA);
  EXPECT_EQ(first->Next->Next, nullptr);
  unsetenv("NORVOSMS_ADAPTERS");
}

TEST(Adapters, OverflowReportsTheNeededSize) {
  setenv("NORVOSMS_ADAPTERS",
         "01:02:03:04:05:06,01:02:03:04:05:07,01:02:03:04:05:08,01:02:03:04:05:09,"
         "01:02:03:04:05:0a,01:02:03:04:05:0b",
         1);
  AdapterList small(3240);
  EXPECT_EQ(small.result, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(small.size, 6 * sizeof(IP_ADAPTER_INFO));
  AdapterList enough(small.size);
  EXPECT_EQ(enough.result, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(enough.records[5].Address[5], 0x0B);
  ULONG size = 0;
  EXPECT_EQ(GetAdaptersInfo(nullptr, &size), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(GetAdaptersInfo(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  setenv("NORVOSMS_ADAPTERS", "", 1);
  AdapterList none(3240);
  EXPECT_EQ(none.result, static_cast<DWORD>(ERROR_NO_DATA));
  unsetenv("NORVOSMS_ADAPTERS");
}

TEST(Adapters, SystemListLeavesLoopbackOut) {
  unsetenv("NORVOSMS_ADAPTERS");
  ULONG size = 0;
  DWORD result = GetAdaptersInfo(nullptr, &size);
  if (result == ERROR_NO_DATA) GTEST_SKIP() << "no adapter with a hardware address here";
  ASSERT_EQ(result, static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  AdapterList list(size);
  ASSERT_EQ(list.result, static_cast<DWORD>(ERROR_SUCCESS));
  for (const IP_ADAPTER_INFO* a = list.records.data(); a; a = a->Next) {
    EXPECT_STRNE(a->AdapterName, "lo");
    EXPECT_EQ(a->AddressLength, 6u);
  }
}

TEST(ModuleFileName, NamesThisProgram) {
  char name[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(name).size(), length);
  EXPECT_NE(std::string(name).find("platform_adapters_test"), std::string::npos);
  char tiny[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetModuleFileNameA(nullptr, tiny, sizeof tiny), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(tiny[4], '\0');
}

}  // namespace
