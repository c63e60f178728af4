// Text on its way to a terminal: control characters from the service (escape sequences that
// set window titles or clear the screen) are replaced before they are printed.
#pragma once

#include <string>

// Filters a stream of bytes: C0 controls other than line end and tab, DEL, and, in UTF-8,
// the C1 controls U+0080..U+009F become '?'. Keeps state between pieces of one stream.
class ControlCharacterFilter {
 public:
  explicit ControlCharacterFilter(bool utf8) : m_bUtf8(utf8) {}
  std::string Filter(const char* data, std::size_t size);
  // Whatever is held back (a lone UTF-8 lead byte at the end of the stream).
  std::string Flush();
  bool AtLineStart() const { return m_bLineStart; }

 private:
  bool m_bUtf8;
  bool m_bPendingC2 = false;
  bool m_bLineStart = true;
};

// One text, filtered as above.
std::string TerminalSafe(const std::string& text, bool utf8 = true);

// Puts the filter in front of standard output for the whole process, so what the library
// writes there (transport error texts, which may quote the server) is filtered too.
void FilterStandardOutput();
// Ends the line the library left open on standard output, if it did.
void EndOpenOutputLine();

// A closed pipe or a full disk on standard output ends a run with its summary on standard error,
// never the process by SIGPIPE: SIGPIPE is ignored and every write checked.
void WatchStandardOutput();
// True once a write to standard output has failed (what is buffered is flushed first).
bool StandardOutputFailed();
// "cannot write standard output: <reason>".
std::string StandardOutputProblem();
