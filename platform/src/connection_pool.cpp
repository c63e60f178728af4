// The process's kept-alive connections (see connection_pool.h): taking, giving back and closing them.
#include "connection_pool.h"

#include <poll.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "http_limits.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Kept {
  CURL* easy;
  std::string key;
  Clock::time_point since;
};

struct Server {
  int open = 0;  // handed out plus kept
  std::vector<Kept> kept;
};

std::mutex g_shareLocks[CURL_LOCK_DATA_LAST];

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) { g_shareLocks[data].lock(); }
void UnlockShare(CURL*, curl_lock_data data, void*) { g_shareLocks[data].unlock(); }

struct Pool {
  std::mutex lock;
  std::condition_variable room;
  std::map<std::string, Server> servers;
  std::map<std::string, CURLSH*> shares;  // never freed: kept handles use them until exit
  Clock::duration idleLimit = std::chrono::seconds(http_limits::kIdleConnectionSeconds);
  // Closes idle kept connections when their time is up; started with the first kept one, it
  // sleeps without a timeout while nothing is kept.
  std::condition_variable reaperWake;
  bool reaperStarted = false;
};

// At exit the kept connections are closed, and the shared TLS sessions freed once no handle
// is out; a handle still out at exit keeps its share.
void CloseKeptAtExit();

Pool& ThePool() {
  static Pool* pool = [] {
    auto* created = new Pool;  // outlives every thread that may still give a handle back
    std::atexit(CloseKeptAtExit);
    return created;
  }();
  return *pool;
}

void CloseKeptAtExit() {
  Pool& pool = ThePool();
  std::vector<CURL*> doomed;
  std::vector<CURLSH*> shares;
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    bool anyOut = false;
    for (auto& [name, server] : pool.servers) {
      for (const Kept& kept : server.kept) doomed.push_back(kept.easy);
      server.open -= static_cast<int>(server.kept.size());
      server.kept.clear();
      anyOut = anyOut || server.open > 0;
    }
    if (!anyOut) {
      for (auto& [key, share] : pool.shares) shares.push_back(share);
      pool.shares.clear();
    }
  }
  for (CURL* easy : doomed) curl_easy_cleanup(easy);
  for (CURLSH* share : shares) curl_share_cleanup(share);
}

CURLSH* ShareFor(Pool& pool, const std::string& key) {
  CURLSH*& share = pool.shares[key];
  if (!share) {
    share = curl_share_init();
    if (share) {
      curl_share_setopt(share, CURLSHOPT_LOCKFUNC, LockShare);
      curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, UnlockShare);
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
  }
  return share;
}

// HTTP/1.x answers carry no request id: a byte waiting on a connection between requests is an
// answer nobody asked for (or the server's close), and whoever sent next would take it as its
// own. Such a connection, or one libcurl already let go (it closes one whose answer ran past
// its length), is never used again.
bool HoldsUnaskedBytes(CURL* easy) {
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_easy_getinfo(easy, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK || socket == CURL_SOCKET_BAD) return true;
  pollfd ready{socket, POLLIN, 0};
  return poll(&ready, 1, 0) != 0;  // readable, hung up, or not to be trusted
}

// Closes kept connections unused for too long; returns their handles for cleanup outside the lock.
void DropStale(const Pool& pool, Server& server, std::vector<CURL*>& doomed) {
  auto limit = Clock::now() - pool.idleLimit;
  for (auto it = server.kept.begin(); it != server.kept.end();) {
    if (it->since <= limit) {
      doomed.push_back(it->easy);
      --server.open;
      it = server.kept.erase(it);
    } else {
      ++it;
    }
  }
}

// The reaper's loop: no wake-ups while nothing is kept, one at the earliest idle deadline otherwise.
[[noreturn]] void ReapIdle(Pool* pool) {
  std::unique_lock<std::mutex> guard(pool->lock);
  for (;;) {
    bool anyKept = false;
    Clock::time_point earliest = Clock::time_point::max();
    for (auto& [name, server] : pool->servers) {
      for (const Kept& kept : server.kept) {
        anyKept = true;
        earliest = std::min(earliest, kept.since + pool->idleLimit);
      }
    }
    if (!anyKept) {
      pool->reaperWake.wait(guard);
      continue;
    }
    pool->reaperWake.wait_until(guard, earliest);
    std::vector<CURL*> doomed;
    for (auto& [name, server] : pool->servers) DropStale(*pool, server, doomed);
    if (!doomed.empty()) pool->room.notify_all();
    // Under the lock, so the exit's cleanup never frees a share a handle here still uses;
    // closing an idle connection does not wait on the network.
    for (CURL* easy : doomed) curl_easy_cleanup(easy);
  }
}

// Called with the pool's lock held, whenever a connection is kept.
void WakeReaper(Pool& pool) {
  if (!pool.reaperStarted) {
    pool.reaperStarted = true;
    std::thread(ReapIdle, &pool).detach();
  }
  pool.reaperWake.notify_one();
}

}  // namespace

bool AcquireConnection(const std::string& server, const std::string& key, DWORD limit, Clock::time_point deadline,
                       PooledConnection& out) {
  if (limit == 0) limit = 1;
  Pool& pool = ThePool();
  std::vector<CURL*> doomed;
  bool fresh = false;
  CURLSH* share = nullptr;
  {
    std::unique_lock<std::mutex> guard(pool.lock);
    Server& entry = pool.servers[server];
    for (;;) {
      DropStale(pool, entry, doomed);
      // The most recently used connection first: the likeliest still alive. One that holds
      // anything unasked is closed, and the request goes on the next one or a fresh one.
      while (!out.easy) {
        auto found = std::find_if(entry.kept.rbegin(), entry.kept.rend(), [&](const Kept& k) { return k.key == key; });
        if (found == entry.kept.rend()) break;
        CURL* easy = found->easy;
        entry.kept.erase(std::next(found).base());
        if (HoldsUnaskedBytes(easy)) {
          doomed.push_back(easy);
          --entry.open;
        } else {
          out.easy = easy;
        }
      }
      if (out.easy) break;
      if (entry.open < static_cast<int>(limit)) {
        ++entry.open;
        fresh = true;
        share = ShareFor(pool, key);
        break;
      }
      if (!entry.kept.empty()) {  // kept under other trust settings: make room
        doomed.push_back(entry.kept.front().easy);
        entry.kept.erase(entry.kept.begin());
        --entry.open;
        continue;
      }
      if (pool.room.wait_until(guard, deadline) == std::cv_status::timeout) {
        guard.unlock();
        for (CURL* easy : doomed) curl_easy_cleanup(easy);
        return false;
      }
    }
  }
  for (CURL* easy : doomed) curl_easy_cleanup(easy);
  if (fresh) {
    out.easy = curl_easy_init();
    if (!out.easy) {
      std::lock_guard<std::mutex> guard(pool.lock);
      --pool.servers[server].open;
      pool.room.notify_all();
      return false;
    }
    if (share) curl_easy_setopt(out.easy, CURLOPT_SHARE, share);
  }
  out.server = server;
  out.key = key;
  return true;
}

void ReleaseConnection(PooledConnection& connection, bool reusable) {
  if (!connection.easy) return;
  Pool& pool = ThePool();
  CURL* doomed = nullptr;
  {
    std::lock_guard<std::mutex> guard(pool.lock);
    Server& entry = pool.servers[connection.server];
    if (reusable && !HoldsUnaskedBytes(connection.easy)) {
      entry.kept.push_back(Kept{connection.easy, connection.key, Clock::now()});
      WakeReaper(pool);
    } else {
      doomed = connection.easy;
      --entry.open;
    }
    pool.room.notify_all();
  }
  if (doomed) curl_easy_cleanup(doomed);
  connection.easy = nullptr;
}

void SetKeptConnectionIdleLimit(std::chrono::milliseconds limit) {
  Pool& pool = ThePool();
  std::lock_guard<std::mutex> guard(pool.lock);
  pool.idleLimit = limit;
  pool.reaperWake.notify_one();
}
