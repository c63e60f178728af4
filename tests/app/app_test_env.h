// A fresh registry folder and message-box log for each case of the desktop program's tests.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/message_box_log.h"

class AppSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/norvosms-app-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    log_ = dir_ + "/boxes.log";
    setenv("NORVOSMS_REGISTRY_DIR", dir_.c_str(), 1);
    setenv("NORVOSMS_MESSAGEBOX_LOG", log_.c_str(), 1);
    setenv("NORVOSMS_ADAPTERS", "00:1a:2b:3c:4d:5e", 1);
  }
  void TearDown() override {
    unsetenv("NORVOSMS_REGISTRY_DIR");
    unsetenv("NORVOSMS_MESSAGEBOX_LOG");
    unsetenv("NORVOSMS_ADAPTERS");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::vector<std::string> Boxes() const { return norvosms_test::MessageBoxTexts(log_); }

  std::string dir_;
  std::string log_;
};
