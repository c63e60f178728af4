// What the client asks of the operating system for itself: no core dumps (the API key is in
// memory), the key's text hidden from the process list, and a polite first stop signal.
#pragma once

// Turns off core dumps of this process (and its readability by other processes of the user).
void DisableCoreDumps();

// Overwrites a command-line argument in place so the process list no longer shows it. Other
// users may have seen it before this runs, which is why --key VALUE still warns.
void HideArgument(char* argument);

// SIGINT and SIGTERM: the first only sets the stop request; a second one ends the process
// at once with 128 + the signal number.
void CatchStopSignals();
// The signal of the first stop request, or 0.
int StopRequested();
