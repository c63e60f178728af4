#include "cli/commands.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "api/NorvoSMS.h"
#include "cli/send_progress.h"

namespace {

// A recipients file is read line by line within these bounds.
constexpr std::size_t kMaxRecipients = 100000;
constexpr std::size_t kMaxLineBytes = 4096;
// An SMS holds up to 90 bytes; longer texts go as LMS.
constexpr std::size_t kSmsBytes = 90;
constexpr int kDefaultTimeoutSeconds = 600;

const char kUsage[] =
    "usage: norvosms send [options] (--to PHONE | --file FILE) MESSAGE\n"
    "  --to PHONE          one recipient\n"
    "  --file FILE         one recipient per line: PHONE [REF_KEY]; '#' starts a comment\n"
    "  --callback NUMBER   the sender number shown to recipients (required)\n"
    "  --subject TEXT      send as LMS with this subject\n"
    "  --lms               send as LMS (also chosen for texts over 90 bytes)\n"
    "  --reserve TIME      send later, \"YYYY-MM-DD HH:MM\"\n"
    "  --ref KEY           reference key for --to (default: none)\n"
    "  --ars               ask for an ARS call (usears Y)\n"
    "  --timeout SECONDS   give up waiting after this long (default 600)\n"
    "  --id ID, --key KEY  user ID and API key (default: NORVOSMS_ID, NORVOSMS_API_KEY)\n";

struct Recipient {
  std::string phone;
  std::string refKey;
};

struct Options {
  std::string id;
  std::string key;
  std::string callback;
  std::string subject;
  std::string reserve;
  std::string refKey;
  std::string to;
  std::string file;
  std::string message;
  bool lms = false;
  bool ars = false;
  int timeoutSeconds = kDefaultTimeoutSeconds;
};

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& problem) {
  options.id = FromEnvironment("NORVOSMS_ID");
  options.key = FromEnvironment("NORVOSMS_API_KEY");
  std::vector<std::string> words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        problem = arg + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    if (arg == "--lms") {
      options.lms = true;
    } else if (arg == "--ars") {
      options.ars = true;
    } else if (arg == "--timeout") {
      std::string text;
      if (!value(text)) return false;
      char* end = nullptr;
      long seconds = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end != '\0' || seconds <= 0 || seconds > 86400) {
        problem = "--timeout takes 1 to 86400 seconds";
        return false;
      }
      options.timeoutSeconds = static_cast<int>(seconds);
    } else if (arg == "--to" || arg == "--file" || arg == "--callback" || arg == "--subject" ||
               arg == "--reserve" || arg == "--ref" || arg == "--id" || arg == "--key") {
      std::string* into = arg == "--to"         ? &options.to
                          : arg == "--file"     ? &options.file
                          : arg == "--callback" ? &options.callback
                          : arg == "--subject"  ? &options.subject
                          : arg == "--reserve"  ? &options.reserve
                          : arg == "--ref"      ? &options.refKey
                          : arg == "--id"       ? &options.id
                                                : &options.key;
      if (!value(*into)) return false;
    } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
      problem = "unknown option " + arg;
      return false;
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != 1) {
    problem = words.empty() ? "no message given" : "give the message as one argument (quote it)";
    return false;
  }
  options.message = words[0];
  if (options.to.empty() == options.file.empty()) {
    problem = "give either --to PHONE or --file FILE";
    return false;
  }
  if (options.callback.empty()) {
    problem = "--callback NUMBER is required";
    return false;
  }
  if (options.id.empty() || options.key.empty()) {
    problem = "no user ID or API key (--id/--key or NORVOSMS_ID/NORVOSMS_API_KEY)";
    return false;
  }
  return true;
}

bool ReadRecipients(const std::string& path, std::vector<Recipient>& recipients, std::string& problem) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    problem = "cannot read " + path;
    return false;
  }
  std::string line;
  std::size_t number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (line.size() > kMaxLineBytes) {
      problem = path + ":" + std::to_string(number) + ": line too long";
      return false;
    }
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at < line.size()) {
      std::size_t start = line.find_first_not_of(" \t\r,", at);
      if (start == std::string::npos) break;
      std::size_t stop = line.find_first_of(" \t\r,", start);
      fields.push_back(line.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
      at = stop == std::string::npos ? line.size() : stop;
    }
    if (fields.empty()) continue;
    if (fields.size() > 2) {
      problem = path + ":" + std::to_string(number) + ": expected PHONE [REF_KEY]";
      return false;
    }
    if (recipients.size() >= kMaxRecipients) {
      problem = path + ": more than " + std::to_string(kMaxRecipients) + " recipients";
      return false;
    }
    recipients.push_back({fields[0], fields.size() > 1 ? fields[1] : ""});
  }
  if (recipients.empty()) {
    problem = path + ": no recipients";
    return false;
  }
  return true;
}

// The window procedure has no user data slot here; one batch runs per process.
SendProgress* g_progress = nullptr;

LRESULT CALLBACK ProgressWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA && g_progress != nullptr) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data != nullptr && data->lpData != nullptr && data->cbData > 0) {
      const char* text = static_cast<const char*>(data->lpData);
      std::size_t length = 0;
      while (length < data->cbData && text[length] != '\0') ++length;
      g_progress->Note(std::string(text, length));
      std::fprintf(stderr, "\r%s", g_progress->Line().c_str());
      std::fflush(stderr);
    }
    return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeProgressWindow() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = ProgressWindowProc;
  cls.lpszClassName = "NorvoSMSSendProgress";
  RegisterClassA(&cls);  // fails harmlessly when already registered
  return CreateWindowExA(0, cls.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

}  // namespace

int RunSendCommand(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  Options options;
  std::string problem;
  if (!ParseOptions(args, options, problem)) {
    std::fprintf(stderr, "norvosms send: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  std::vector<Recipient> recipients;
  if (!options.to.empty()) {
    recipients.push_back({options.to, options.refKey});
  } else if (!ReadRecipients(options.file, recipients, problem)) {
    std::fprintf(stderr, "norvosms send: %s\n", problem.c_str());
    return 2;
  }
  const bool lms = options.lms || !options.subject.empty() || options.message.size() > kSmsBytes;
  const int total = static_cast<int>(recipients.size());

  HWND window = MakeProgressWindow();
  if (window == 0) {
    std::fputs("norvosms send: cannot create the progress window\n", stderr);
    return 1;
  }
  SendProgress progress(total);
  g_progress = &progress;
  InitDLL(options.id, options.key);
  CreateThreadDll();
  const std::string usears = options.ars ? "Y" : "N";
  for (const Recipient& r : recipients) {
    if (lms) {
      SendLMS(window, r.phone, options.callback, options.subject, options.message, options.reserve, r.refKey,
              total, usears);
    } else {
      SendSMS(window, r.phone, options.callback, options.message, options.reserve, r.refKey, total, usears);
    }
  }
  std::fprintf(stderr, "%s", progress.Line().c_str());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  while (!progress.Finished() && std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  }
  std::fputc('\n', stderr);
  DestroyThread();  // serves the workers' last notifications while it waits
  FreeDll();
  g_progress = nullptr;
  DestroyWindow(window);

  const int unanswered = total - progress.Accounted();
  std::printf("%d message%s (%s): %d sent, %d with 800, %d failed, %d errors", total, total == 1 ? "" : "s",
              lms ? "LMS" : "SMS", progress.sent(), progress.with800(), progress.failed(), progress.errors());
  if (unanswered > 0) std::printf(", %d unanswered", unanswered);
  std::printf("\n");
  return progress.sent() + progress.with800() == total ? 0 : 1;
}
