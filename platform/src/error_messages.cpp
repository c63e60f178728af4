// Message texts for error codes, and the local heap that FormatMessageA allocates from.
#include <winerror.h>

#include <cstdlib>
#include <cstring>

namespace {

struct SystemMessage {
  DWORD code;
  const char* text;
};

// The system table: texts of the base error codes as Windows words them. WinInet codes are
// not in it (on Windows they live in wininet.dll's own table).
constexpr SystemMessage kSystemMessages[] = {
    {ERROR_SUCCESS, "The operation completed successfully.\r\n"},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified.\r\n"},
    {ERROR_ACCESS_DENIED, "Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command.\r\n"},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect.\r\n"},
    {ERROR_BUFFER_OVERFLOW, "The file name is too long.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small.\r\n"},
    {ERROR_FILE_TOO_LARGE, "The file size exceeds the limit allowed and cannot be saved.\r\n"},
    {ERROR_NO_DATA, "The pipe is being closed.\r\n"},
    {ERROR_MORE_DATA, "More data is available.\r\n"},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {ERROR_NO_UNICODE_TRANSLATION,
     "No mapping for the Unicode character exists in the target multi-byte code page.\r\n"},
};

const char* FindSystemMessage(DWORD code) {
  for (const auto& message : kSystemMessages)
    if (message.code == code) return message.text;
  return nullptr;
}

}  // namespace

// Only FORMAT_MESSAGE_FROM_SYSTEM with inserts ignored; every language gets the English text.
extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer, DWORD nSize,
                                       va_list*) {
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const char* text = FindSystemMessage(dwMessageId);
  if (!text) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::size_t length = std::strlen(text);
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    std::size_t size = length + 1 > nSize ? length + 1 : nSize;
    char* copy = static_cast<char*>(LocalAlloc(LMEM_ZEROINIT, size));
    if (!copy) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(copy, text, length + 1);
    *reinterpret_cast<LPSTR*>(lpBuffer) = copy;
  } else {
    if (nSize < length + 1) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(lpBuffer, text, length + 1);
  }
  return static_cast<DWORD>(length);
}

// malloc; LMEM_MOVEABLE handles are not offered (every block is fixed).
extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, std::size_t uBytes) {
  void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(uBytes ? uBytes : 1, 1) : std::malloc(uBytes ? uBytes : 1);
  if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// free; returns null on success, as on Windows.
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}
