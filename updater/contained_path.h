// Relative paths from the manifest that cannot lead out of the folder they are joined to.
#pragma once

#include <string>

// True for a relative file path that stays inside whatever folder it is appended to: not empty,
// no leading separator (absolute or UNC), no ':' (drive letters, streams), no empty component,
// no component of dots and blanks only other than "." ('/' and '\' both separate), no device
// name (CON, NUL, COM1 ...) and no character Windows forbids in names.
bool StaysInsideFolder(const std::string& relativePath);

// The same for a folder path, which may also be empty or end in one separator.
bool FolderStaysInside(const std::string& relativeFolder);
