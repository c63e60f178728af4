// NORVOSMS_CA_FILE's own faults, told as the file's rather than as the server's.
#pragma once

#include <string>

// "" when NORVOSMS_CA_FILE is unset or names a regular file that holds a PEM certificate; else a text
// naming the variable, the file and what is wrong with it (missing, unreadable, a folder, not a regular
// file, too large, no PEM certificate). Opening it never waits: a FIFO is refused, not read. Always ""
// on Windows, whose own certificate store is trusted instead. A file found sound is read again only
// once its times or size change.
std::string CaFileProblem();
