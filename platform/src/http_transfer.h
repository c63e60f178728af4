// Sending a WinInet request over libcurl: one exchange per hop on a pooled connection, and the
// redirects followed as WinInet follows them, all within the NORVOSMS_TIMEOUT deadline.
#pragma once

#include <windef.h>

#include <string>
#include <vector>

#include "connection_pool.h"
#include "http_request.h"

// What a send leaves on its request handle.
struct HttpAnswer {
  DWORD status = 0;
  std::string statusText;
  std::string body;
  DWORD deferredError = 0;  // a failure after the head had arrived, for the reading calls to report
  bool complete = false;    // the transfer ended well: once read whole, the connection may serve again
};

// Sends the request with `headers` (the request's own and the send's) and `body`, following
// redirects: at most five, never from https to http, and a 301/302/303 to a POST turns it into
// a GET without its body. 0 with `answer` filled once an answer's head has arrived, with
// `connection` held for the reading calls; else the WinInet error, with nothing held.
DWORD SendFollowingRedirects(const HttpRequest& request, const std::vector<std::string>& headers, const char* body,
                             DWORD bodyLength, PooledConnection& connection, HttpAnswer& answer);
