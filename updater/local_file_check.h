// Comparing a listed file with the one beside the running program.
#pragma once

#include "updater/manifest_entries.h"

#include <string>

// The folder of the running program file (drive and directory), ending in a separator.
std::string RunningProgramFolder();

// The program's name: its file name without folder and extension.
std::string RunningProgramName();

// All checksum reading of one update check may take at most this many bytes; a manifest that
// lists a large file many times cannot make the check run for long.
constexpr long long kMaxChecksumBytesPerCheck = 1LL << 30;

// Compares entries with the files in one folder. A name that could lead out of the folder, a
// file that is not a regular file, one of another size, or one that cannot be read within the
// listed size counts as not current; only regular files inside the folder are ever opened.
class LocalFileCheck {
 public:
  // `folder` ends in a separator; an empty folder (the program's own could not be found) makes
  // every entry not current.
  explicit LocalFileCheck(std::string folder, long long byteBudget = kMaxChecksumBytesPerCheck)
      : m_sFolder(std::move(folder)), m_nBudget(byteBudget) {}

  // Sets entry.upToDate to 1 when the file exists with the listed size and checksum, else 0.
  void Check(FileEntry& entry);

 private:
  std::string m_sFolder;
  long long m_nBudget;
};
