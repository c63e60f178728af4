// The registry on SQLite: one database file per hive, a table of keys and one of values.
// Nothing is cached: every read is a fresh query and every write is committed before the call
// returns (rollback journal, synchronous=FULL), so a killed process leaves its returned writes.
#include <winreg.h>

#include "handle_table.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

namespace {

constexpr int kBusyTimeoutMs = 15000;
constexpr std::size_t kMaxKeyNameLength = 255;  // one path component
constexpr std::size_t kMaxKeyDepth = 512;       // components in one path
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr DWORD kMaxValueSize = 1024 * 1024;

enum HiveId { kUserHive = 0, kMachineHive = 1, kHiveCount = 2 };

struct Hive {
  std::mutex mutex;
  sqlite3* db = nullptr;
  std::string file;
  pid_t pid = 0;
  bool writable = false;
};

Hive g_hives[kHiveCount];

struct KeyHandle {
  HiveId hive;
  std::string path;  // components joined by '\', empty for the hive's root
  REGSAM access;
};

std::mutex g_handlesMutex;
norvosms::platform::HandleTable<HKEY, std::unique_ptr<KeyHandle>> g_handles;

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
  std::string home = EnvOrEmpty("HOME");
  if (home.empty()) {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  return home;
}

// The folder of a hive: NORVOSMS_REGISTRY_DIR for both, else the user's configuration folder
// and a system folder.
std::string HiveFolder(HiveId hive) {
  std::string dir = EnvOrEmpty("NORVOSMS_REGISTRY_DIR");
  if (!dir.empty()) return dir;
  if (hive == kMachineHive) return "/var/lib/norvosms";
  std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
  if (config.empty()) config = HomeFolder() + "/.config";
  return config + "/norvosms";
}

std::string HiveFile(HiveId hive) { return HiveFolder(hive) + (hive == kUserHive ? "/user.db" : "/machine.db"); }

void MakeFolders(const std::string& dir, mode_t mode) {
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos == dir.size() || dir[pos] == '/') mkdir(dir.substr(0, pos).c_str(), mode);
  }
}

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Opens (and on first use creates) the hive's database. The user's hive is made 0600 before
// SQLite touches it; its journal files inherit that mode.
void OpenHive(HiveId id, Hive& hive, const std::string& file) {
  const bool user = id == kUserHive;
  const mode_t mode = user ? 0600 : 0644;
  MakeFolders(file.substr(0, file.rfind('/')), user ? 0700 : 0755);
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
  bool writable = fd >= 0;
  if (fd >= 0) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 0777) != mode) fchmod(fd, mode);
    close(fd);
  } else if (access(file.c_str(), R_OK) != 0) {
    return;  // neither writable nor readable: the hive is absent
  }
  sqlite3* db = nullptr;
  int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  if (writable) {
    bool ok = Exec(db, "PRAGMA journal_mode=DELETE") && Exec(db, "PRAGMA synchronous=FULL") &&
              Exec(db,
                   "CREATE TABLE IF NOT EXISTS reg_keys(path TEXT PRIMARY KEY COLLATE NOCASE);"
                   "CREATE TABLE IF NOT EXISTS reg_values(key TEXT NOT NULL COLLATE NOCASE,"
                   " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
                   " PRIMARY KEY(key, name))");
    if (!ok) {
      sqlite3_close(db);
      return;
    }
  }
  hive.db = db;
  hive.writable = writable;
}

// The hive's connection for this process, reopened after a fork or a change of location.
// Call with the hive's mutex held; null when the hive cannot be opened.
sqlite3* HiveDb(HiveId id) {
  Hive& hive = g_hives[id];
  std::string file = HiveFile(id);
  if (hive.db && hive.pid != getpid()) {
    hive.db = nullptr;  // a fork's inherited connection must not be used or closed
  } else if (hive.db && hive.file != file) {
    sqlite3_close(hive.db);
    hive.db = nullptr;
  }
  if (!hive.db) {
    OpenHive(id, hive, file);
    hive.file = file;
    hive.pid = getpid();
  }
  return hive.db;
}

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return stmt_ != nullptr; }
  void Text(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void Int(int index, sqlite3_int64 value) { sqlite3_bind_int64(stmt_, index, value); }
  void Blob(int index, const void* data, int size) {
    if (size == 0)
      sqlite3_bind_zeroblob(stmt_, index, 0);  // an empty value, not NULL
    else
      sqlite3_bind_blob(stmt_, index, data, size, SQLITE_TRANSIENT);
  }
  int Step() { return sqlite3_step(stmt_); }
  sqlite3_stmt* get() { return stmt_; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Where a handle points: its hive, its path and its access rights.
bool Resolve(HKEY key, HiveId& hive, std::string& path, REGSAM& access) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) {
    hive = key == HKEY_CURRENT_USER ? kUserHive : kMachineHive;
    path.clear();
    access = KEY_ALL_ACCESS;
    return true;
  }
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  const KeyHandle* handle = g_handles.Find(key);
  if (!handle) return false;
  hive = handle->hive;
  path = handle->path;
  access = handle->access;
  return true;
}

// Splits a subkey on '\' into components (empty ones dropped) and appends them to base.
bool JoinPath(const std::string& base, LPCSTR subKey, std::vector<std::string>& components) {
  std::string_view rest = base;
  auto split = [&components](std::string_view text) {
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\\', start);
      if (end == std::string_view::npos) end = text.size();
      if (end > start) {
        if (end - start > kMaxKeyNameLength || components.size() >= kMaxKeyDepth) return false;
        components.emplace_back(text.substr(start, end - start));
      }
      start = end + 1;
    }
    return true;
  };
  return split(rest) && (!subKey || split(subKey));
}

std::string Joined(const std::vector<std::string>& components, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count; ++i) {
    if (i) path += '\\';
    path += components[i];
  }
  return path;
}

// 1 if the key exists, 0 if not, -1 on a read failure. The root always exists.
int KeyExists(sqlite3* db, const std::string& path) {
  if (path.empty()) return 1;
  Statement st(db, "SELECT 1 FROM reg_keys WHERE path = ?1");
  if (!st.ok()) return -1;
  st.Text(1, path);
  int rc = st.Step();
  return rc == SQLITE_ROW ? 1 : rc == SQLITE_DONE ? 0 : -1;
}

HKEY NewHandle(HiveId hive, std::string path, REGSAM access) {
  auto handle = std::make_unique<KeyHandle>(KeyHandle{hive, std::move(path), access});
  HKEY key = reinterpret_cast<HKEY>(handle.get());
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  g_handles.Add(key, std::move(handle));
  return key;
}

// The key `subKey` names below `key`: its hive, its path's levels and the path itself.
LSTATUS SubKeyOf(HKEY key, LPCSTR subKey, HiveId& hive, std::vector<std::string>& components, std::string& path) {
  std::string base;
  REGSAM baseAccess;
  if (!Resolve(key, hive, base, baseAccess)) return ERROR_INVALID_HANDLE;
  if (!JoinPath(base, subKey, components)) return ERROR_INVALID_PARAMETER;
  path = Joined(components, components.size());
  return ERROR_SUCCESS;
}

std::string ValueName(LPCSTR name) { return name ? std::string(name) : std::string(); }

}  // namespace

// On SQLite: checks the key's row; the handle remembers hive, path and access rights.
extern "C" LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                        PHKEY phkResult) {
  (void)ulOptions;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  HiveId hive;
  std::vector<std::string> components;
  std::string path;
  if (LSTATUS status = SubKeyOf(hKey, lpSubKey, hive, components, path)) return status;
  {
    std::lock_guard<std::mutex> lock(g_hives[hive].mutex);
    sqlite3* db = HiveDb(hive);
    if (!db) return path.empty() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    int exists = KeyExists(db, path);
    if (exists < 0) return ERROR_CANTREAD;
    if (exists == 0) return ERROR_FILE_NOT_FOUND;
  }
  *phkResult = NewHandle(hive, std::move(path), samDesired);
  return ERROR_SUCCESS;
}

// On SQLite: inserts every missing level of the path in one transaction.
extern "C" LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                          REGSAM samDesired, const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                          PHKEY phkResult, LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;
  (void)dwOptions;
  (void)lpSecurityAttributes;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  HiveId hive;
  std::vector<std::string> components;
  std::string path;
  if (LSTATUS status = SubKeyOf(hKey, lpSubKey, hive, components, path)) return status;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  {
    std::lock_guard<std::mutex> lock(g_hives[hive].mutex);
    sqlite3* db = HiveDb(hive);
    if (!db) return ERROR_ACCESS_DENIED;
    int exists = KeyExists(db, path);
    if (exists < 0) return ERROR_CANTREAD;
    if (exists == 0) {
      if (!g_hives[hive].writable) return ERROR_ACCESS_DENIED;
      if (!Exec(db, "BEGIN IMMEDIATE")) return ERROR_CANTWRITE;
      bool ok = true;
      for (std::size_t n = 1; ok && n <= components.size(); ++n) {
        Statement st(db, "INSERT OR IGNORE INTO reg_keys(path) VALUES(?1)");
        if (!st.ok()) {
          ok = false;
          break;
        }
        std::string prefix = Joined(components, n);
        st.Text(1, prefix);
        ok = st.Step() == SQLITE_DONE;
        if (ok && n == components.size() && sqlite3_changes(db) > 0) disposition = REG_CREATED_NEW_KEY;
      }
      if (!ok || !Exec(db, "COMMIT")) {
        Exec(db, "ROLLBACK");
        return ERROR_CANTWRITE;
      }
    }
  }
  if (lpdwDisposition) *lpdwDisposition = disposition;
  *phkResult = NewHandle(hive, std::move(path), samDesired);
  return ERROR_SUCCESS;
}

// On SQLite: one SELECT; sizes and ERROR_MORE_DATA as on Windows.
extern "C" LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                           LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  HiveId hive;
  std::string path;
  REGSAM access;
  if (!Resolve(hKey, hive, path, access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::string name = ValueName(lpValueName);
  if (name.size() > kMaxValueNameLength) return ERROR_FILE_NOT_FOUND;

  std::lock_guard<std::mutex> lock(g_hives[hive].mutex);
  sqlite3* db = HiveDb(hive);
  if (!db) return ERROR_FILE_NOT_FOUND;
  Statement st(db, "SELECT type, data FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st.ok()) return ERROR_CANTREAD;
  st.Text(1, path);
  st.Text(2, name);
  int rc = st.Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return ERROR_CANTREAD;
  DWORD type = static_cast<DWORD>(sqlite3_column_int64(st.get(), 0));
  const void* data = sqlite3_column_blob(st.get(), 1);
  DWORD size = static_cast<DWORD>(sqlite3_column_bytes(st.get(), 1));
  if (lpType) *lpType = type;
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (size) std::memcpy(lpData, data, size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

// On SQLite: one INSERT OR REPLACE, committed before returning. A string without its
// terminating zero gets one, as the ANSI call's conversion does on Windows.
extern "C" LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                         const BYTE* lpData, DWORD cbData) {
  (void)Reserved;
  if (cbData > kMaxValueSize || (!lpData && cbData)) return ERROR_INVALID_PARAMETER;
  HiveId hive;
  std::string path;
  REGSAM access;
  if (!Resolve(hKey, hive, path, access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::string name = ValueName(lpValueName);
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(lpData, lpData + cbData);
  if ((dwType == REG_SZ || dwType == REG_EXPAND_SZ) && (bytes.empty() || bytes.back() != 0)) bytes.push_back(0);

  std::lock_guard<std::mutex> lock(g_hives[hive].mutex);
  sqlite3* db = HiveDb(hive);
  if (!db || !g_hives[hive].writable) return ERROR_ACCESS_DENIED;
  Statement st(db, "INSERT OR REPLACE INTO reg_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
  if (!st.ok()) return ERROR_CANTWRITE;
  st.Text(1, path);
  st.Text(2, name);
  st.Int(3, dwType);
  st.Blob(4, bytes.data(), static_cast<int>(bytes.size()));
  return st.Step() == SQLITE_DONE ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

// On SQLite: one DELETE, committed before returning.
extern "C" LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  HiveId hive;
  std::string path;
  REGSAM access;
  if (!Resolve(hKey, hive, path, access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> lock(g_hives[hive].mutex);
  sqlite3* db = HiveDb(hive);
  if (!db || !g_hives[hive].writable) return ERROR_ACCESS_DENIED;
  Statement st(db, "DELETE FROM reg_values WHERE key = ?1 AND name = ?2");
  if (!st.ok()) return ERROR_CANTWRITE;
  st.Text(1, path);
  st.Text(2, ValueName(lpValueName));
  if (st.Step() != SQLITE_DONE) return ERROR_CANTWRITE;
  return sqlite3_changes(db) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Frees the handle; the predefined roots need no closing.
extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  std::unique_ptr<KeyHandle> handle;
  {
    std::lock_guard<std::mutex> lock(g_handlesMutex);
    handle = g_handles.Remove(hKey);
  }
  return handle ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
