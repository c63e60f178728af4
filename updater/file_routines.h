// The update check's file and folder routines: the file checksum and making folders exist.
#pragma once

#include <windows.h>

#include <string>

// The base path, separator and relative path of EnsureFolder must stay below this.
constexpr size_t kEnsureFolderPathLimit = 200;
constexpr size_t kFolderPrefixLimit = 255;

// The bitwise complement of the common CRC-32 of a file's bytes ("abc" gives 0xCADBBE3D).
// 0 on success, -1 when the file cannot be opened (a line on standard output says so).
int GetFileCrc(const char* path, DWORD* result);

// The same checksum over what an open file gives, read in blocks of 4096 bytes from where it
// stands, taking at most maxBytes. Returns the bytes taken, or -1 when a read fails.
long long ChecksumOpenFile(HANDLE file, long long maxBytes, DWORD* result);

// Makes sure the folders of a '/'-separated relative path exist; folders are made relative to
// the current directory, the base path only serves the existence test. The last component is
// never made. False, making nothing, when the joined path is too long.
bool EnsureFolder(const char* basePath, const char* relativePath);

// Makes each folder level of a '/'-separated path from `start` on; existing folders are fine.
void CreateFolderPath(const std::string& path, size_t start);

// Appends a backslash unless the path already ends in '\' or '/'.
void AppendBackslash(std::string& path);
