// Code pages: UTF-8 is converted here directly, every other code page through glibc iconv.
#include <winerror.h>
#include <winnls.h>

#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;  // what Windows gives for malformed UTF-8
constexpr char kDefaultChar = '?';             // the default character of the code pages we map
constexpr const char* kUtf16Name = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv's name for a Windows code-page number.
std::string IconvName(UINT codePage) {
  switch (codePage) {
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28605: return "ISO-8859-15";
    case 51949: return "EUC-KR";
    default: return "CP" + std::to_string(codePage);
  }
}

bool IconvSupports(UINT codePage) {
  iconv_t cd = iconv_open(kUtf16Name, IconvName(codePage).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

bool Supported(UINT codePage) { return codePage == CP_UTF8 || IconvSupports(codePage); }

// "EUC-KR", "eucKR", "euc_kr" all become "EUCKR".
std::string NormaliseCharset(const char* name) {
  std::string out;
  for (const char* p = name; *p && *p != '@'; ++p) {
    if (*p == '-' || *p == '_') continue;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  }
  return out;
}

UINT CodePageForCharset(const std::string& charset) {
  if (charset == "EUCKR" || charset == "CP949" || charset == "UHC" || charset == "MSCP949") return 949;
  if (charset == "SHIFTJIS" || charset == "SJIS" || charset == "CP932") return 932;
  if (charset == "GBK" || charset == "GB2312" || charset == "CP936") return 936;
  if (charset == "BIG5" || charset == "CP950") return 950;
  if (charset == "ISO88591" || charset == "CP1252") return 1252;
  // UTF-8, plain ASCII (the C locale) and anything unknown: UTF-8 holds them all.
  return CP_UTF8;
}

// The locale's character set as the C library names it, or, when the named locale is not
// installed, the part of its name after the dot.
std::string LocaleCharset() {
  locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (loc != static_cast<locale_t>(0)) {
    std::string charset = nl_langinfo_l(CODESET, loc);
    freelocale(loc);
    return NormaliseCharset(charset.c_str());
  }
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(var);
    if (value == nullptr || *value == '\0') continue;
    const char* dot = std::strchr(value, '.');
    return dot ? NormaliseCharset(dot + 1) : std::string();
  }
  return std::string();
}

UINT AcpFromEnvironment() {
  if (const char* value = std::getenv("NORVOSMS_ACP")) {
    char* end = nullptr;
    unsigned long n = std::strtoul(value, &end, 10);
    // 0 to 3 are the pseudo code pages (CP_ACP ...), never a real one.
    if (end != value && *end == '\0' && n > 3 && n < 65536 && Supported(static_cast<UINT>(n)))
      return static_cast<UINT>(n);
  }
  return CodePageForCharset(LocaleCharset());
}

UINT Resolve(UINT codePage) { return (codePage == CP_ACP || codePage == CP_THREAD_ACP) ? GetACP() : codePage; }

bool IsContinuation(unsigned char b, unsigned char lo = 0x80, unsigned char hi = 0xBF) { return b >= lo && b <= hi; }

// UTF-8 to UTF-16; each maximal ill-formed subsequence becomes one U+FFFD, or fails when strict.
bool DecodeUtf8(const unsigned char* s, size_t n, std::u16string& out, bool strict) {
  size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    int need = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    char32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    }
    size_t j = i + 1;
    bool ok = need > 0;
    for (int k = 0; ok && k < need; ++k, ++j) {
      if (j >= n || !IsContinuation(s[j], k == 0 ? lo : 0x80, k == 0 ? hi : 0xBF)) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (s[j] & 0x3F);
    }
    if (!ok) {
      if (strict) return false;
      out += kReplacementChar;
      i = (j > i + 1) ? j : i + 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i = j;
  }
  return true;
}

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD, or fails when strict.
bool EncodeUtf8(const char16_t* s, size_t n, std::string& out, bool strict) {
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (strict) return false;
      cp = kReplacementChar;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return true;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as it can; returns the errno that stopped it (0 when all was read).
  int Convert(const char*& in, size_t& inLeft, std::string& out) {
    char buffer[4096];
    while (inLeft > 0) {
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
      out.append(buffer, sizeof buffer - dstLeft);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) return errno;
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

// A code page to UTF-16; an unmappable byte becomes '?' (or fails when strict) and is stepped over.
bool DecodeIconv(UINT codePage, const char* s, size_t n, std::u16string& out, bool strict, bool& badCodePage) {
  Iconv cv(kUtf16Name, IconvName(codePage).c_str());
  badCodePage = !cv.ok();
  if (badCodePage) return false;
  std::string bytes;
  while (n > 0) {
    if (cv.Convert(s, n, bytes) == 0) break;
    if (strict) return false;
    char16_t q = static_cast<char16_t>(kDefaultChar);
    bytes.append(reinterpret_cast<const char*>(&q), sizeof q);
    ++s;
    --n;
  }
  out.assign(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / sizeof(char16_t));
  return true;
}

// UTF-16 to a code page; an unmappable character becomes the default character.
bool EncodeIconv(UINT codePage, const char16_t* s, size_t n, std::string& out, const std::string& defaultChar,
                 bool& usedDefault, bool& badCodePage) {
  Iconv cv(IconvName(codePage).c_str(), kUtf16Name);
  badCodePage = !cv.ok();
  if (badCodePage) return false;
  const char* in = reinterpret_cast<const char*>(s);
  size_t inLeft = n * sizeof(char16_t);
  while (inLeft > 0) {
    if (cv.Convert(in, inLeft, out) == 0) break;
    usedDefault = true;
    out += defaultChar;
    const char16_t* unit = reinterpret_cast<const char16_t*>(in);
    size_t skip = 1;
    if (*unit >= 0xD800 && *unit <= 0xDBFF && inLeft >= 2 * sizeof(char16_t) && unit[1] >= 0xDC00 && unit[1] <= 0xDFFF)
      skip = 2;
    in += skip * sizeof(char16_t);
    inLeft -= skip * sizeof(char16_t);
  }
  return true;
}

template <typename Char>
size_t SourceLength(const Char* s, int count) {
  if (count >= 0) return static_cast<size_t>(count);
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n + 1;  // the terminating NUL is converted too
}

// Copies a converted text out the Windows way: size query, or a full copy, or the buffer error.
template <typename Char>
int Deliver(const std::basic_string<Char>& text, Char* buffer, int capacity) {
  if (text.size() > static_cast<size_t>(INT32_MAX)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  int size = static_cast<int>(text.size());
  if (capacity == 0) return size;
  if (size > capacity) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (size > 0) std::memcpy(buffer, text.data(), text.size() * sizeof(Char));
  return size;
}

}  // namespace

// The code-page number in NORVOSMS_ACP, else the one for the locale's character set; read once.
extern "C" UINT WINAPI GetACP(void) {
  static const UINT acp = AcpFromEnvironment();
  return acp;
}

// Lead-byte ranges of the double-byte code pages; UTF-8 and single-byte code pages have none.
extern "C" BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar) {
  switch (Resolve(CodePage)) {
    case 932: return (TestChar >= 0x81 && TestChar <= 0x9F) || (TestChar >= 0xE0 && TestChar <= 0xFC);
    case 936:
    case 949:
    case 950: return TestChar >= 0x81 && TestChar <= 0xFE;
    default: return FALSE;
  }
}

extern "C" BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }

// UTF-8 by our own decoder, others through iconv; no precomposition or folding flags are applied.
extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UINT cp = Resolve(CodePage);
  size_t n = SourceLength(lpMultiByteStr, cbMultiByte);
  bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  std::u16string wide;
  bool ok = false, badCodePage = false;
  if (cp == CP_UTF8) {
    ok = DecodeUtf8(reinterpret_cast<const unsigned char*>(lpMultiByteStr), n, wide, strict);
  } else {
    ok = DecodeIconv(cp, lpMultiByteStr, n, wide, strict, badCodePage);
  }
  if (!ok) {
    SetLastError(badCodePage ? ERROR_INVALID_PARAMETER : ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Deliver(wide, lpWideCharStr, cchWideChar);
}

// UTF-8 by our own encoder, others through iconv; unmappable characters take the default
// character ('?' or lpDefaultChar) with no best-fit mapping.
extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar) {
  UINT cp = Resolve(CodePage);
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr) ||
      (cp == CP_UTF8 && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t n = SourceLength(lpWideCharStr, cchWideChar);
  std::string bytes;
  bool ok = false, badCodePage = false, usedDefault = false;
  if (cp == CP_UTF8) {
    ok = EncodeUtf8(lpWideCharStr, n, bytes, (dwFlags & WC_ERR_INVALID_CHARS) != 0);
  } else {
    std::string defaultChar(1, kDefaultChar);
    if (lpDefaultChar != nullptr && lpDefaultChar[0] != '\0') {
      defaultChar.assign(1, lpDefaultChar[0]);
      if (IsDBCSLeadByteEx(cp, static_cast<BYTE>(lpDefaultChar[0])) && lpDefaultChar[1] != '\0')
        defaultChar += lpDefaultChar[1];
    }
    ok = EncodeIconv(cp, lpWideCharStr, n, bytes, defaultChar, usedDefault, badCodePage);
  }
  if (!ok) {
    SetLastError(badCodePage ? ERROR_INVALID_PARAMETER : ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = usedDefault ? TRUE : FALSE;
  return Deliver(bytes, lpMultiByteStr, cbMultiByte);
}
