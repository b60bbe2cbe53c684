// Relaunch: a new instance of the utility takes over the work, so that the
// caller is not held up.
#pragma once

#include "../cmdline/CommandLine.h"

// Starts a new instance of this executable with the caption, reboot flag,
// known commands and next command of options, and does not wait for it. TRUE
// when it was started; a line that could not be started is written as the
// debug line "ERROR: <command line>".
BOOL RelaunchWaiter(const CWaitOptions& options);
