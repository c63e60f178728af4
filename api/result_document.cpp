#include "api/result_document.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "api/base64_decoder.h"
#include "text/ansi_text.h"

namespace {

constexpr std::string_view kResultTag = "<result>";
constexpr std::size_t kResultSpanExtra = 5;  // the splice covers n + 5 characters from "<result>"
constexpr std::size_t kDeclarationLength = 39;

// The text after the first open tag up to the first close tag after it (or the end).
std::string_view Between(std::string_view text, std::string_view open, std::string_view close) {
  std::size_t start = text.find(open);
  if (start == std::string_view::npos) return std::string_view();
  start += open.size();
  std::size_t end = text.find(close, start);
  return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// The Base64 content decoded into n zero-filled bytes, read up to its first NUL as UTF-8.
std::string DecodeResultContent(std::string_view content, std::size_t n) {
  std::vector<unsigned char> buffer(n, 0);
  std::size_t written = DecodeBase64(content, buffer.data(), buffer.size());
  std::size_t length = 0;
  while (length < written && buffer[length] != 0) ++length;
  return AnsiFromUtf8(std::string_view(reinterpret_cast<const char*>(buffer.data()), length), CP_THREAD_ACP);
}

void EraseFirst(std::string& text, std::string_view what, std::size_t count) {
  std::size_t at = text.find(what);
  if (at != std::string::npos) text.erase(at, count);
}

}  // namespace

void ReadResultDocument(const std::string& resultText, ResultDocument& resultNode) {
  std::string_view original = resultText;
  std::string_view code = Between(original, "<code>", "</code>");
  if (code == "E001" || code == "E006") return;
  std::string_view content = Between(original, kResultTag, "</result>");

  // CP_THREAD_ACP, not CP_ACP: the answer is read in the code page of the thread reading it.
  std::string text = AnsiFromUtf8(original, CP_THREAD_ACP);
  std::size_t n = Utf16Length(content) + 1;  // one for a NUL
  std::string decoded = DecodeResultContent(content, n);

  // The span leaves the content's last two characters and "</result>" behind; the parser
  // stops there, after the spliced-in fields.
  std::size_t at = text.find(kResultTag);
  if (at != std::string::npos) text.replace(at, n + kResultSpanExtra, decoded);
  EraseFirst(text, "<?xml", kDeclarationLength);
  std::size_t root = text.find("<root>");
  if (root != std::string::npos) {
    text.erase(root, 6);
    EraseFirst(text, "</root>", 7);
  }

  XmlParseOptions options = DefaultParseOptions;
  resultNode.Parse(text, options);
}
