// Comparing a listed file with the one beside the running program.
#pragma once

#include "updater/manifest_entries.h"

#include <string>

// The folder of the running program file (drive and directory), ending in a separator.
std::string RunningProgramFolder();

// The program's name: its file name without folder and extension.
std::string RunningProgramName();

// Sets entry.upToDate to 1 when the file exists with the listed size and checksum, else 0.
void CheckLocalFile(FileEntry& entry);
