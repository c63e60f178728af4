#include "text/ansi_text.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

bool FitsInt(std::string_view text) { return text.size() <= static_cast<std::size_t>(INT_MAX); }

// Nothing when the text does not convert (with MB_ERR_INVALID_CHARS: when it is invalid).
std::optional<WideText> ToWide(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return WideText();
  if (!FitsInt(text)) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (units <= 0) return std::nullopt;
  WideText wide(static_cast<std::size_t>(units), WCHAR(0));
  if (MultiByteToWideChar(codePage, flags, text.data(), length, wide.data(), units) != units) return std::nullopt;
  return wide;
}

std::optional<std::string> FromWide(UINT codePage, const WideText& wide) {
  if (wide.empty()) return std::string();
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int units = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(codePage, 0, wide.data(), units, out.data(), bytes, nullptr, nullptr) != bytes)
    return std::nullopt;
  return out;
}

}  // namespace

bool IsAscii(std::string_view text) {
  // Eight bytes at a time: a whole request is looked at on every call.
  std::size_t i = 0;
  std::uint64_t high = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080ull) == 0;
}

std::string AnsiFromUtf8(std::string_view utf8, UINT ansiCodePage) {
  if (IsAscii(utf8)) return std::string(utf8);
  std::optional<WideText> wide = ToWide(CP_UTF8, 0, utf8);
  if (!wide) return std::string();
  return FromWide(ansiCodePage, *wide).value_or(std::string());
}

std::string AnsiText(const char* utf8) {
  if (!utf8) return std::string();
  const std::string_view text(utf8);
  std::optional<WideText> wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (!wide) return std::string(text);
  return FromWide(CP_ACP, *wide).value_or(std::string(text));
}

WideText WideFromAnsi(std::string_view ansi) { return ToWide(CP_ACP, 0, ansi).value_or(WideText()); }

std::size_t Utf16Length(std::string_view utf8) {
  if (utf8.empty() || !FitsInt(utf8)) return 0;
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  return units > 0 ? static_cast<std::size_t>(units) : 0;
}

bool IsValidUtf8(std::string_view text) {
  if (text.empty() || IsAscii(text)) return true;
  return FitsInt(text) &&
         MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0) > 0;
}

bool AnsiFromUtf8Exactly(std::string_view utf8, std::string& ansi) {
  if (IsAscii(utf8) || GetACP() == CP_UTF8) {
    if (!IsValidUtf8(utf8)) return false;
    std::string out(utf8);  // `utf8` may view `ansi` itself
    ansi = std::move(out);
    return true;
  }
  std::optional<WideText> wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8);
  if (!wide) return false;
  const int units = static_cast<int>(wide->size());
  BOOL usedDefault = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), units, nullptr, 0, nullptr, &usedDefault);
  if (bytes <= 0 || usedDefault) return false;
  std::string out(static_cast<std::size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), units, out.data(), bytes, nullptr,
                          &usedDefault) != bytes ||
      usedDefault)
    return false;
  ansi = std::move(out);
  return true;
}

bool Utf8FromAnsi(std::string_view ansi, std::string& utf8, std::size_t minimumBuffer) {
  thread_local std::vector<WCHAR> wide;
  thread_local std::vector<char> out;
  utf8.clear();
  if (IsAscii(ansi)) {
    utf8.assign(ansi);
    return true;
  }
  // Three UTF-8 bytes a unit must still fit an int.
  if (ansi.size() > static_cast<std::size_t>(INT_MAX / 3 - 1)) return false;
  std::size_t wideSlots = minimumBuffer / sizeof(WCHAR);
  if (ansi.size() > wideSlots) wideSlots = ansi.size();
  if (wide.size() < wideSlots) wide.resize(wideSlots);
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                                             static_cast<int>(wideSlots));
  if (wideLength <= 0) return false;
  std::size_t utf8Size = minimumBuffer;
  if (static_cast<std::size_t>(wideLength) * 3 + 1 > utf8Size) utf8Size = static_cast<std::size_t>(wideLength) * 3 + 1;
  if (out.size() < utf8Size) out.resize(utf8Size);
  const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(),
                                             static_cast<int>(utf8Size - 1), nullptr, nullptr);
  if (utf8Length <= 0) return false;
  utf8.assign(out.data(), static_cast<std::size_t>(utf8Length));
  return true;
}
