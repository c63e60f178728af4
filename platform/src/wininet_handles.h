// WinInet's handles (root, connection, request) and the table that maps them to what they hold.
#pragma once

#include <wininet.h>

#include <cstddef>
#include <memory>
#include <mutex>

#include "connection_pool.h"
#include "http_request.h"
#include "http_transfer.h"

namespace wininet_handles {

enum class Kind { Root, Connection, Request };

// The request as built up so far (a handle opened from another starts as a copy of it) and, on
// a request handle, what its last send left.
struct InternetHandle : HttpRequest {
  Kind kind = Kind::Root;
  bool sent = false;
  HttpAnswer answer;
  std::size_t readPos = 0;
  PooledConnection connection;  // held from the send until the handle is closed
};

// The handle's record, else null with ERROR_INVALID_HANDLE set.
InternetHandle* Find(HINTERNET handle);
// The same for a handle of one kind; another kind sets ERROR_INTERNET_INCORRECT_HANDLE_TYPE.
InternetHandle* Find(HINTERNET handle, Kind kind);
HINTERNET Register(std::unique_ptr<InternetHandle> handle);
// Closes the handle and hands its record over, null when it was not open.
std::unique_ptr<InternetHandle> Remove(HINTERNET handle);

// Guards every handle's options and the process's defaults below.
std::mutex& OptionsLock();
// What a root handle starts with; InternetSetOptionA without a handle changes them.
InternetOptions& ProcessOptions();

}  // namespace wininet_handles
