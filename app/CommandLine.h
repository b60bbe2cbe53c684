// The utility's command line: /c=<caption prefix> /n=<next command ...>, and /r
// to hand the work to a new instance.
#pragma once

#include "../afx/afxstr.h"

struct CWaitOptions
{
	BOOL bRelaunch;                     // a relaunch option came before /n=
	BOOL bCaptionGiven;                 // a caption option was seen (an empty value counts)
	CString strCaption;                 // the value of the last caption option
	BOOL bNextGiven;                    // the next-command option was seen
	CString strNext;                    // its value, followed by every later argument

	CWaitOptions() : bRelaunch(FALSE), bCaptionGiven(FALSE), bNextGiven(FALSE) {}
};

// TRUE when lpszText begins with strName, letter case ignored in the active
// code page (the prefix rule by which /R, /run and -relaunch all mean "r").
BOOL OptionTextBeginsWith(LPCSTR lpszText, const CString& strName);

// Reads argv[1] to argv[argc - 1] into options, which start at their defaults.
// Options begin with '/' or '-'; other words before /n= are ignored; from /n=
// on, every argument belongs to the next command, joined by single spaces.
void ParseWaitOptions(int argc, char* const* argv, CWaitOptions& options);

// The command line that starts lpszExePath with the caption and next-command
// options only: "<exe>" "/c=<caption>" "/n=<next>", each value quoted so that
// the C runtime of the new instance reads it back exactly. FALSE when memory is
// exhausted.
BOOL BuildRelaunchCommand(LPCSTR lpszExePath, LPCSTR lpszCaption, LPCSTR lpszNext,
	CString& strCommand);

// Starts a new instance of this executable with the caption and next command,
// and does not wait for it. TRUE when it was started.
BOOL RelaunchWaiter(LPCSTR lpszCaption, LPCSTR lpszNext);
