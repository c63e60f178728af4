// WinInet's handle table: the handle value is the record's address, looked up, never trusted.
#include "wininet_handles.h"

#include <winerror.h>

#include <utility>

#include "handle_table.h"

namespace wininet_handles {
namespace {

std::mutex g_lock;  // the table, every handle's options and the process's defaults
norvosms::platform::HandleTable<HINTERNET, std::unique_ptr<InternetHandle>> g_handles;
InternetOptions g_processOptions;

}  // namespace

InternetHandle* Find(HINTERNET h) {
  std::lock_guard<std::mutex> guard(g_lock);
  InternetHandle* handle = g_handles.Find(h);
  if (!handle) SetLastError(ERROR_INVALID_HANDLE);
  return handle;
}

InternetHandle* Find(HINTERNET h, Kind kind) {
  InternetHandle* handle = Find(h);
  if (handle && handle->kind != kind) {
    SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
    return nullptr;
  }
  return handle;
}

HINTERNET Register(std::unique_ptr<InternetHandle> handle) {
  HINTERNET key = handle.get();
  std::lock_guard<std::mutex> guard(g_lock);
  g_handles.Add(key, std::move(handle));
  return key;
}

std::unique_ptr<InternetHandle> Remove(HINTERNET h) {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_handles.Remove(h);
}

std::mutex& OptionsLock() { return g_lock; }

InternetOptions& ProcessOptions() { return g_processOptions; }

}  // namespace wininet_handles
