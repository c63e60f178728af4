// The process's kept-alive connections, per server, as WinInet keeps them. Each pooled entry
// is a libcurl handle holding at most one connection; handles of one server and trust setting
// share their TLS sessions, so a new connection resumes one where the server allows.
#pragma once

#include <windef.h>

#include <curl/curl.h>

#include <chrono>
#include <string>

struct PooledConnection {
  CURL* easy = nullptr;
  std::string server;  // scheme://host:port, what the per-server limit counts
  std::string key;     // the server and the trust settings its connections were checked under
};

// A kept connection for `key`, or a fresh handle while fewer than `limit` are open to the
// server; waits for one to be given back until `deadline`. False when the deadline passed.
bool AcquireConnection(const std::string& server, const std::string& key, DWORD limit,
                       std::chrono::steady_clock::time_point deadline, PooledConnection& out);

// Gives the handle back: kept for the next request when `reusable` (the whole answer was
// read) and its connection holds nothing more, else closed with its connection.
void ReleaseConnection(PooledConnection& connection, bool reusable);

// How long a kept connection may stay unused before it is closed, whether or not a call follows
// (30 s, http_limits::kIdleConnectionSeconds); tests shorten it.
void SetKeptConnectionIdleLimit(std::chrono::milliseconds limit);
