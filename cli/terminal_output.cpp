#include "cli/terminal_output.h"

#include <windows.h>

#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

bool Control(unsigned char c) { return (c < 0x20 && c != '\n' && c != '\t') || c == 0x7F; }

ControlCharacterFilter* g_stdoutFilter = nullptr;
// The library's workers write to standard output from their own threads. glibc's stream lock
// already keeps their writes apart, but it is invisible to ThreadSanitizer and to a reader of
// this file; the filter's state is guarded by a lock of our own.
std::mutex g_filterLock;
std::atomic<bool> g_outputFailed{false};
std::atomic<int> g_outputErrno{0};

ssize_t WriteAll(const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      g_outputErrno = n < 0 ? errno : EIO;
      g_outputFailed = true;
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(text.size());
}

ssize_t WriteFiltered(void*, const char* data, size_t size) {
  std::lock_guard<std::mutex> hold(g_filterLock);
  if (WriteAll(g_stdoutFilter->Filter(data, size)) < 0) return -1;
  return static_cast<ssize_t>(size);
}

int CloseFiltered(void*) {
  std::lock_guard<std::mutex> hold(g_filterLock);
  WriteAll(g_stdoutFilter->Flush());
  return 0;
}

bool FilteredOutputAtLineStart() {
  std::lock_guard<std::mutex> hold(g_filterLock);
  return g_stdoutFilter == nullptr || g_stdoutFilter->AtLineStart();
}

}  // namespace

std::string ControlCharacterFilter::Filter(const char* data, std::size_t size) {
  std::string out;
  out.reserve(size + 1);
  for (std::size_t i = 0; i < size; ++i) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (m_bPendingC2) {
      m_bPendingC2 = false;
      if (c >= 0x80 && c <= 0x9F) {
        out += '?';
        continue;
      }
      out += '\xC2';
    }
    if (m_bUtf8 && c == 0xC2) {
      m_bPendingC2 = true;
      continue;
    }
    out += Control(c) ? '?' : static_cast<char>(c);
  }
  if (!out.empty()) m_bLineStart = out.back() == '\n';
  return out;
}

std::string ControlCharacterFilter::Flush() {
  if (!m_bPendingC2) return "";
  m_bPendingC2 = false;
  m_bLineStart = false;
  return "\xC2";
}

std::string TerminalSafe(const std::string& text, bool utf8) {
  ControlCharacterFilter filter(utf8);
  return filter.Filter(text.data(), text.size()) + filter.Flush();
}

void FilterStandardOutput() {
  static ControlCharacterFilter filter(GetACP() == CP_UTF8);
  g_stdoutFilter = &filter;
  cookie_io_functions_t functions{nullptr, WriteFiltered, nullptr, CloseFiltered};
  if (FILE* filtered = fopencookie(nullptr, "w", functions)) {
    setvbuf(filtered, nullptr, _IOLBF, 0);
    std::fflush(stdout);
    stdout = filtered;  // glibc lets a program replace its standard streams
  }
}

void EndOpenOutputLine() {
  std::fflush(stdout);
  if (!FilteredOutputAtLineStart()) {
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

void WatchStandardOutput() { signal(SIGPIPE, SIG_IGN); }

bool StandardOutputFailed() {
  if (!g_outputFailed) {
    std::fflush(stdout);
    if (std::ferror(stdout)) g_outputFailed = true;
  }
  return g_outputFailed;
}

std::string StandardOutputProblem() {
  return std::string("cannot write standard output: ") + (g_outputErrno != 0 ? std::strerror(g_outputErrno) : "error");
}
