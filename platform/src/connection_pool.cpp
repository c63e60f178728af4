#include "connection_pool.h"

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
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

// Closes kept connections unused for too long; returns their handles for cleanup outside the lock.
void DropStale(Server& server, std::vector<CURL*>& doomed) {
  auto limit = Clock::now() - std::chrono::seconds(http_limits::kIdleConnectionSeconds);
  for (auto it = server.kept.begin(); it != server.kept.end();) {
    if (it->since < limit) {
      doomed.push_back(it->easy);
      --server.open;
      it = server.kept.erase(it);
    } else {
      ++it;
    }
  }
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
      DropStale(entry, doomed);
      // The most recently used connection first: the likeliest still alive.
      for (auto it = entry.kept.rbegin(); it != entry.kept.rend(); ++it) {
        if (it->key == key) {
          out.easy = it->easy;
          entry.kept.erase(std::next(it).base());
          break;
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
    if (reusable) {
      entry.kept.push_back(Kept{connection.easy, connection.key, Clock::now()});
    } else {
      doomed = connection.easy;
      --entry.open;
    }
    pool.room.notify_all();
  }
  if (doomed) curl_easy_cleanup(doomed);
  connection.easy = nullptr;
}
