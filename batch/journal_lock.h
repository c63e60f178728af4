// One run per journal: an exclusive flock() on a file beside the journal ("JOURNAL.lock")
// that holds the owner's process id. The kernel drops the lock with the process, so a kill
// frees it; and it is a different file from the database, so SQLite's own POSIX locks on the
// journal are never touched by it.
#pragma once

#include <memory>
#include <string>

class JournalLock {
 public:
  ~JournalLock();
  JournalLock(const JournalLock&) = delete;
  JournalLock& operator=(const JournalLock&) = delete;

  // The lock for the journal at `path`, or null with `problem` set: another process holds it
  // ("... is in use by process N"), or the lock file cannot be made.
  static std::unique_ptr<JournalLock> Acquire(const std::string& path, std::string& problem);
  // Whether a run holds the journal at `path` now (its lock cannot be taken), without taking it.
  static bool Held(const std::string& path);

 private:
  explicit JournalLock(int fd) : m_fd(fd) {}
  int m_fd;
};
