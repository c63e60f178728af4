// The shell: programs through posix_spawn, web pages through the user's browser.
#include <shellapi.h>
#include <winnls.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ascii_case.h"

extern char** environ;

namespace {

constexpr INT_PTR kStarted = 42;             // any value above 32 means success; Windows callers see 42 too
constexpr std::size_t kMaxArguments = 4096;  // bound on what one parameter string may split into

HINSTANCE Result(INT_PTR value) { return reinterpret_cast<HINSTANCE>(value); }

using platform_ascii::EqualsNoCase;
using platform_ascii::StartsWithNoCase;

bool IsWebAddress(std::string_view text) {
  return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

// The caller's text is in the ANSI code page; Linux file names and arguments are UTF-8.
std::string AcpToUtf8(const char* text) {
  if (text == nullptr || *text == '\0') return {};
  if (GetACP() == CP_UTF8) return text;
  int wide = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (wide <= 0) return text;
  std::u16string buffer(static_cast<std::size_t>(wide), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, buffer.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, buffer.data(), -1, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(bytes) - 1);
  return out;
}

// Windows accepts either separator; Linux only the slash.
std::string ToPosixPath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// The Windows rules for one parameter string: blanks separate, quotes group, 2n backslashes
// before a quote give n and toggle quoting, 2n+1 give n and a literal quote, "" inside quotes
// is a literal quote.
std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < line.size() && args.size() < kMaxArguments) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size()) {
      char c = line[i];
      if (c == '\\') {
        std::size_t run = 0;
        while (i < line.size() && line[i] == '\\') ++run, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(run / 2, '\\');
          if (run % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(run, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t')) break;
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

// Tabs, line ends and backslashes escaped, so one call stays one line of the log.
std::string LogField(const char* text) {
  std::string out;
  for (const char* p = text ? text : ""; *p; ++p) {
    switch (*p) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += *p;
    }
  }
  return out;
}

const char* ShellLogPath() {
  const char* path = std::getenv("NORVOSMS_SHELL_LOG");
  return path && *path ? path : nullptr;
}

void Record(const char* logPath, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show) {
  std::ofstream log(logPath, std::ios::app | std::ios::binary);
  log << LogField(verb) << '\t' << LogField(file) << '\t' << LogField(parameters) << '\t' << LogField(directory) << '\t'
      << show << '\n';
}

INT_PTR ErrnoToShellError(int error) {
  switch (error) {
    case ENOENT: return SE_ERR_FNF;
    case ENOTDIR: return SE_ERR_PNF;
    case EACCES:
    case EPERM: return SE_ERR_ACCESSDENIED;
    case ENOMEM:
    case EAGAIN: return SE_ERR_OOM;
    case ENOEXEC: return 11;  // ERROR_BAD_FORMAT
    default: return SE_ERR_ACCESSDENIED;
  }
}

// Started without waiting; a detached thread reaps the child so no zombie stays behind.
INT_PTR Spawn(const std::vector<std::string>& args, bool searchPath, const std::string& directory) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return 0;
  if (!directory.empty() && posix_spawn_file_actions_addchdir_np(&actions, directory.c_str()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return 0;
  }
  pid_t pid = 0;
  int error = searchPath ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ)
                         : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return ErrnoToShellError(error);
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return kStarted;
}

// $BROWSER (the first of its colon-separated commands, "%s" standing for the address) or xdg-open.
std::vector<std::string> BrowserCommand(const std::string& address) {
  const char* browser = std::getenv("BROWSER");
  std::string first = browser ? std::string(browser).substr(0, std::string(browser).find(':')) : "";
  std::vector<std::string> command = SplitCommandLine(first);
  if (command.empty()) return {"xdg-open", address};
  bool substituted = false;
  for (std::string& word : command) {
    for (std::size_t at = word.find("%s"); at != std::string::npos; at = word.find("%s", at + address.size())) {
      word.replace(at, 2, address);
      substituted = true;
    }
  }
  if (!substituted) command.push_back(address);
  return command;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FileNameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// posix_spawn for programs, $BROWSER or xdg-open for http(s) addresses and for "IEXPLORE.EXE"
// given an address. The show command is not applied. Programs named without a folder are looked
// up on PATH only, not in the current folder. With NORVOSMS_SHELL_LOG set, every call is appended
// to that file, and web pages are recorded there instead of opened.
extern "C" HINSTANCE WINAPI ShellExecuteA(HWND /*hwnd*/, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpParameters,
                                          LPCSTR lpDirectory, INT nShowCmd) {
  const char* logPath = ShellLogPath();
  if (logPath) Record(logPath, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);

  if (lpOperation && *lpOperation && !EqualsNoCase(lpOperation, "open")) return Result(SE_ERR_NOASSOC);
  if (lpFile == nullptr || *lpFile == '\0') return Result(SE_ERR_FNF);

  std::string file = AcpToUtf8(lpFile);
  std::vector<std::string> args = SplitCommandLine(AcpToUtf8(lpParameters));

  std::string address;
  if (IsWebAddress(file)) {
    address = file;
  } else {
    std::string name = FileNameOf(ToPosixPath(file));
    if (EqualsNoCase(name, "iexplore.exe") || EqualsNoCase(name, "iexplore")) {
      if (args.empty() || !IsWebAddress(args.front())) return Result(SE_ERR_FNF);
      address = args.front();
    }
  }
  if (!address.empty()) {
    if (logPath) return Result(kStarted);
    return Result(Spawn(BrowserCommand(address), true, {}));
  }

  std::string directory = ToPosixPath(AcpToUtf8(lpDirectory));
  if (!directory.empty() && !IsFolder(directory)) return Result(SE_ERR_PNF);

  std::string program = ToPosixPath(file);
  bool bareName = program.find('/') == std::string::npos;
  if (!bareName) {
    if (program.front() != '/' && !directory.empty()) {
      // Relative to the caller's current folder, not to the new working folder.
      char here[4096];
      if (getcwd(here, sizeof here) == nullptr) return Result(SE_ERR_PNF);
      program = std::string(here) + "/" + program;
    }
    std::size_t slash = program.rfind('/');
    std::string folder = slash == 0 ? "/" : program.substr(0, slash);
    if (!IsFolder(folder)) return Result(SE_ERR_PNF);
    if (IsFolder(program)) return Result(SE_ERR_NOASSOC);
    if (access(program.c_str(), F_OK) != 0) return Result(SE_ERR_FNF);
    if (access(program.c_str(), X_OK) != 0) return Result(SE_ERR_NOASSOC);
  }
  args.insert(args.begin(), program);
  return Result(Spawn(args, bareName, directory));
}
