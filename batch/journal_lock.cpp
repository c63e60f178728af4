#include "batch/journal_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr std::size_t kMaxPidText = 32;

std::string ReadOwner(int fd) {
  char text[kMaxPidText] = {};
  ssize_t got = pread(fd, text, sizeof text - 1, 0);
  std::string owner;
  for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i) owner += text[i];
  return owner.empty() ? "unknown" : owner;
}

}  // namespace

JournalLock::~JournalLock() { close(m_fd); }

std::unique_ptr<JournalLock> JournalLock::Acquire(const std::string& path, std::string& problem) {
  const std::string lockPath = path + ".lock";
  int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    problem = "cannot make the lock file " + lockPath + ": " + std::strerror(errno);
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    problem = error == EWOULDBLOCK ? "the journal " + path + " is in use by process " + ReadOwner(fd) +
                                         " (one run per journal; wait for it or stop it)"
                                   : "cannot lock " + lockPath + ": " + std::strerror(error);
    close(fd);
    return nullptr;
  }
  const std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
    problem = "cannot write the lock file " + lockPath + ": " + std::strerror(errno);
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<JournalLock>(new JournalLock(fd));
}

bool JournalLock::Held(const std::string& path) {
  int fd = open((path + ".lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;  // never run, or by a version without the lock
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);  // a shared lock taken here goes with the descriptor
  return held;
}
