// Files: attributes, opening existing files for reading, their kind and size, reading.
#pragma once

#include "minwinbase.h"
#include "windef.h"

#define GENERIC_READ 0x80000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_DEVICE 0x00000040u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u

#define FILE_TYPE_UNKNOWN 0x0000u
#define FILE_TYPE_DISK 0x0001u
#define FILE_TYPE_CHAR 0x0002u
#define FILE_TYPE_PIPE 0x0003u

typedef union _LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  long long QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef enum _GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard, GetFileExMaxInfoLevel } GET_FILEEX_INFO_LEVELS;

typedef struct _WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
} WIN32_FILE_ATTRIBUTE_DATA, *LPWIN32_FILE_ATTRIBUTE_DATA;

struct _OVERLAPPED;
typedef struct _OVERLAPPED* LPOVERLAPPED;

extern "C" {
// stat, following links; '\' counts as a separator. A FIFO, socket or device gives
// FILE_ATTRIBUTE_DEVICE (Windows reserves that bit; nothing else marks "neither file nor folder").
DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);

// The same stat, with times and size (GetFileExInfoStandard only). stat has no birth time: the
// status-change time stands in for the creation time, so a file replaced or re-permissioned
// shows a new one.
BOOL WINAPI GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation);

// open(O_RDONLY | O_NONBLOCK): no open here waits for a peer, as none does on Windows, so a FIFO
// or device cannot hang the caller. Reading existing files only (GENERIC_READ, OPEN_EXISTING);
// a folder opens only with FILE_FLAG_BACKUP_SEMANTICS, as on Windows. Close with CloseHandle.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// fstat of the open file: regular file DISK, character device CHAR, FIFO or socket PIPE.
DWORD WINAPI GetFileType(HANDLE hFile);

// fstat's st_size.
BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);

// read(2), retried on EINTR; no overlapped reading (lpOverlapped must be null). A FIFO without
// data fails with ERROR_NO_DATA instead of waiting.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped);
}
