// Forward, one-pass reading of the version manifest's sections and keys.
#pragma once

#include <functional>
#include <string>

#include "text/ansi_text.h"  // AnsiText: the reader's and the check's texts for message boxes

// At most this many characters of a line, a section name or a value are kept.
constexpr size_t kMaxManifestLineLength = 254;
// Reading stops (as at the end of the text) once this many bytes have been taken in.
constexpr size_t kMaxManifestBytes = 1024 * 1024;
// The key name of entry lines: never part of a well-formed entry, so the whole line comes back.
constexpr const char* kEntryLineKey = "OnlyRead";

enum ManifestListKind { NotAList = 0, CrcList = 1, VersionList = 2, AddInstallList = 3 };

class ManifestReader {
 public:
  // Gives the next raw line (line end included or not) and false at the end of the text.
  using LineSource = std::function<bool(std::string& line)>;

  explicit ManifestReader(LineSource source) : m_source(std::move(source)) {}

  // Reads forward to the next line of `section` and takes `key`'s value from it into `dest`.
  // False at the end of the text (failure text set, naming the key) or on a markup line.
  bool ReadKey(const std::string& section, const char* key, std::string& dest);

  const std::string& CurrentSection() const { return m_section; }
  ManifestListKind ListKind() const { return m_listKind; }
  // In the program's 8-bit code page; empty unless a read ran out of text.
  const std::string& FailureText() const { return m_failureText; }
  void SetFailureText(std::string text) { m_failureText = std::move(text); }

 private:
  bool NextLine(std::string& line);

  LineSource m_source;
  size_t m_bytesRead = 0;
  std::string m_section;
  ManifestListKind m_listKind = NotAList;
  std::string m_failureText;
};
