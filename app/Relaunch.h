// Relaunch: a new instance of the utility takes over the work, so that the
// caller is not held up.
#pragma once

#include <windows.h>

// Starts a new instance of this executable with the caption and next command,
// and does not wait for it. TRUE when it was started; a line that could not
// be started is written as the debug line "ERROR: <command line>".
BOOL RelaunchWaiter(LPCSTR lpszCaption, LPCSTR lpszNext);
