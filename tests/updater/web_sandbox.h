// The sandbox web server the fixture started: its address and the manifest file it serves.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline std::filesystem::path WebSandboxDir() {
  const char* build = std::getenv("NORVOSMS_BUILD_DIR");
  return std::filesystem::path(build ? build : ".") / "sandbox-web";
}

// "http://127.0.0.1:PORT", from the fixture's ready file.
inline std::string WebSandboxUrl() {
  std::ifstream ready(WebSandboxDir() / "web.txt");
  std::string line;
  while (std::getline(ready, line))
    if (line.rfind("url=", 0) == 0) return line.substr(4);
  return std::string();
}

// The server re-reads this file at every request for the manifest.
inline void ServeManifest(const std::string& text) {
  std::ofstream(WebSandboxDir() / "SmsVersion.txt", std::ios::binary | std::ios::trunc) << text;
}

inline void ServeNoManifest() {
  std::error_code ec;
  std::filesystem::remove(WebSandboxDir() / "SmsVersion.txt", ec);
}
