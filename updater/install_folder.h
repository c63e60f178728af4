// Where a full setup installs: the part of the manifest's default folder after "Program Files",
// placed under this machine's %ProgramFiles%.
#pragma once

#include <string>

// Returns B + "/" + R, where B is %ProgramFiles% with '/' separators and R what follows
// "Program Files" and its separator. Changes the current directory to B, makes the folders of R
// there, then changes to the install folder. A folder without "Program Files" comes back as it is,
// and nothing is made when B is not a folder. An R that is absolute, names a drive or holds a ".."
// component gives an empty text, and neither folders nor the current directory change.
std::string MakeInstallFolder(const std::string& defaultFolder);
