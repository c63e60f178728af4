// Files, on open(2), fstat(2) and read(2).
#include <fileapi.h>
#include <synchapi.h>
#include <winerror.h>

#include "kernel_object.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An open file descriptor behind a HANDLE; closed with the last reference.
class FileObject : public norvosms::platform::KernelObject {
 public:
  explicit FileObject(int fd) : m_fd(fd) { Signal(); }  // no overlapped I/O: always signalled
  ~FileObject() override { ::close(m_fd); }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;
  int Descriptor() const { return m_fd; }

 private:
  int m_fd;
};

std::shared_ptr<FileObject> FindFile(HANDLE handle) {
  auto file = std::dynamic_pointer_cast<FileObject>(norvosms::platform::FindHandle(handle));
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

std::string LinuxPath(LPCSTR path) {
  std::string out(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

DWORD ErrorOf(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EAGAIN: return ERROR_NO_DATA;
    default: return ERROR_ACCESS_DENIED;
  }
}

// stat(2) of a name given as on Windows; false with the last error set.
bool StatOf(LPCSTR fileName, struct stat& info) {
  if (fileName == nullptr || *fileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (::stat(LinuxPath(fileName).c_str(), &info) != 0) {
    SetLastError(ErrorOf(errno));
    return false;
  }
  return true;
}

// Anything neither file nor folder reads as a device.
DWORD AttributesOf(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  if (!S_ISREG(info.st_mode)) return FILE_ATTRIBUTE_DEVICE;
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_READONLY;
}

FILETIME FileTimeOf(const struct timespec& time) {
  constexpr long long kSecondsFrom1601To1970 = 11644473600ll;
  const unsigned long long ticks = static_cast<unsigned long long>(time.tv_sec + kSecondsFrom1601To1970) * 10000000ull +
                                   static_cast<unsigned long long>(time.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  struct stat info {};
  return StatOf(lpFileName, info) ? AttributesOf(info) : INVALID_FILE_ATTRIBUTES;
}

extern "C" BOOL WINAPI GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId,
                                            LPVOID lpFileInformation) {
  if (fInfoLevelId != GetFileExInfoStandard || lpFileInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat info {};
  if (!StatOf(lpFileName, info)) return FALSE;
  auto* data = static_cast<LPWIN32_FILE_ATTRIBUTE_DATA>(lpFileInformation);
  data->dwFileAttributes = AttributesOf(info);
  data->ftCreationTime = FileTimeOf(info.st_ctim);
  data->ftLastAccessTime = FileTimeOf(info.st_atim);
  data->ftLastWriteTime = FileTimeOf(info.st_mtim);
  const auto size = static_cast<unsigned long long>(S_ISREG(info.st_mode) ? info.st_size : 0);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  return TRUE;
}

// open(2) with O_NONBLOCK, cleared again for regular files; reading existing files only.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  if (lpFileName == nullptr || *lpFileName == '\0' || dwDesiredAccess != GENERIC_READ ||
      dwCreationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int fd = ::open(LinuxPath(lpFileName).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ErrorOf(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || (S_ISDIR(info.st_mode) && !(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS))) {
    ::close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  // A regular file reads as it would have with a blocking open.
  if (S_ISREG(info.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  SetLastError(ERROR_SUCCESS);
  return norvosms::platform::RegisterHandle(std::make_shared<FileObject>(fd));
}

// fstat(2) of the open descriptor.
extern "C" DWORD WINAPI GetFileType(HANDLE hFile) {
  std::shared_ptr<FileObject> file = FindFile(hFile);
  struct stat info {};
  if (!file || ::fstat(file->Descriptor(), &info) != 0) return FILE_TYPE_UNKNOWN;
  SetLastError(ERROR_SUCCESS);
  if (S_ISREG(info.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

// fstat(2)'s st_size.
extern "C" BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
  std::shared_ptr<FileObject> file = FindFile(hFile);
  if (!file) return FALSE;
  struct stat info {};
  if (lpFileSize == nullptr || ::fstat(file->Descriptor(), &info) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  lpFileSize->QuadPart = static_cast<long long>(info.st_size);
  return TRUE;
}

// read(2), synchronous only; EAGAIN (a FIFO without data) becomes ERROR_NO_DATA.
extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  std::shared_ptr<FileObject> file = FindFile(hFile);
  if (!file) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ssize_t got = 0;
  do got = ::read(file->Descriptor(), lpBuffer, nNumberOfBytesToRead);
  while (got < 0 && errno == EINTR);
  if (got < 0) {
    SetLastError(ErrorOf(errno));
    return FALSE;
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = static_cast<DWORD>(got);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
