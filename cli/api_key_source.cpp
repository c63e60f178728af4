#include "cli/api_key_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Opens the key file for reading without ever waiting on it (a FIFO or device is refused, not
// read), and warns when users other than its owner may read it. Null with `problem` set.
std::FILE* OpenKeyFile(const std::string& command, const std::string& path, std::string& problem) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    problem = "cannot read the key file " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    problem = "the key file " + path + (S_ISDIR(st.st_mode) ? " is a folder" : " is not a regular file");
    ::close(fd);
    return nullptr;
  }
  if (st.st_mode & (S_IRGRP | S_IROTH)) {
    std::fprintf(stderr, "%s: warning: the key file %s can be read by other users; chmod 600 it\n", command.c_str(),
                 path.c_str());
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    problem = "cannot read the key file " + path;
    ::close(fd);
  }
  return file;
}

}  // namespace

bool ReadApiKey(std::FILE* from, std::string& key, std::string& problem) {
  key.clear();
  int c;
  while ((c = std::fgetc(from)) != EOF && c != '\n') {
    if (key.size() >= kMaxApiKeyBytes) {
      problem = "the API key is longer than " + std::to_string(kMaxApiKeyBytes) + " bytes";
      return false;
    }
    key += static_cast<char>(c);
  }
  if (!key.empty() && key.back() == '\r') key.pop_back();
  for (unsigned char k : key) {
    if (k < 0x20 || k == 0x7F) {
      problem = "the API key holds control characters";
      return false;
    }
  }
  if (key.empty()) {
    problem = "the API key is empty";
    return false;
  }
  return true;
}

bool ResolveApiKey(const std::string& command, const ApiKeySource& source, std::string& key, std::string& problem) {
  if (source.keyGiven && !source.keyFile.empty()) {
    problem = "give either --key or --key-file";
    return false;
  }
  if (!source.keyFile.empty()) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenKeyFile(command, source.keyFile, problem), std::fclose);
    if (!file) return false;
    if (!ReadApiKey(file.get(), key, problem)) {
      problem = source.keyFile + ": " + problem;
      return false;
    }
    return true;
  }
  if (source.keyGiven && source.key == "-") {
    if (!ReadApiKey(stdin, key, problem)) {
      problem = "standard input: " + problem;
      return false;
    }
    return true;
  }
  if (source.keyGiven) {
    std::fprintf(stderr,
                 "%s: warning: --key VALUE shows the API key to other users of this machine; "
                 "use --key-file FILE or --key - (standard input)\n",
                 command.c_str());
    key = source.key;
    return true;
  }
  const char* fromEnvironment = std::getenv("NORVOSMS_API_KEY");
  key = fromEnvironment != nullptr ? fromEnvironment : "";
  return true;
}
