// The utility's command line: /c=<caption prefix> /n=<next command ...>, /r
// to hand the work to a new instance, and for a reboot-aware follow-up
// /f=<reboot flag> and any number of /k=<known command>; /always, which the
// restart after a reboot carries, runs the command even when the window
// never shows up; /timeout=<seconds> for the window to appear, /exitcode for
// an exit code that tells the outcome, /log=<file> for a log. Read here, and
// written here for the new instances that the relaunch and the restart after
// a reboot start.
#pragma once

#include "../afx/afxcoll.h"

// The option names of the string table.
struct CWaitOptionNames
{
	CString strRelaunch;   // "r"
	CString strCaption;    // "c="
	CString strNext;       // "n="
	CString strRebootFlag; // "f="
	CString strKnown;      // "k="
	CString strRunAlways;  // "always"
	CString strTimeout;    // "timeout="
	CString strExitCode;   // "exitcode"
	CString strLog;        // "log="

	// FALSE when a name is missing or empty.
	BOOL Load();
};

// The longest appear timeout, in seconds: a day.
#define CMDLINE_MAX_APPEAR_SECONDS 86400

// The options that every new instance gets as they were given: the relaunched
// one all of them, the restart line the timeout and the log.
struct CWaitExtras
{
	int nAppearSeconds = -1; // for the window to appear, 0 for no limit; -1: the string table's
	BOOL bExitCode = FALSE;  // the exit code tells the outcome
	CString strLog;          // the log file; empty for none
};

struct CWaitOptions
{
	BOOL bRelaunch;                 // a relaunch option came before /n=
	BOOL bRunAlways;                // run the command even when the window never showed up
	BOOL bCaptionGiven;             // a caption option was seen (an empty value counts)
	CString strCaption;             // the value of the last caption option
	BOOL bNextGiven;                // the next-command option was seen
	CString strNext;                // its value, followed by every later argument
	CString strRebootFlag;          // the value of the last reboot-flag option; empty for none
	CStringArray astrKnownCommands; // the values of the known-command options, in order
	CWaitExtras extras;             // the last valid timeout, exit code and the last log option
	CString strIgnoredTimeout;      // the last timeout option that was not a whole number up to a day

	CWaitOptions() : bRelaunch(FALSE), bRunAlways(FALSE), bCaptionGiven(FALSE), bNextGiven(FALSE) {}
};

// TRUE when lpszText begins with strName, letter case ignored in the active
// code page (the prefix rule by which /R, /run and -relaunch all mean "r").
BOOL OptionTextBeginsWith(LPCSTR lpszText, const CString& strName);

// Reads argv[1] to argv[argc - 1] into options, which start at their defaults.
// Options begin with '/' or '-'; other words before /n= are ignored; from /n=
// on, every argument belongs to the next command, joined by single spaces.
void ParseWaitOptions(int argc, char* const* argv, CWaitOptions& options);

// Writes lpszValue as it must stand between the double quotes of one argument
// for the C runtime to split it back exactly: a double quote becomes
// backslash + double quote, and the backslashes right before a double quote
// or at the end of the value are doubled. Every other byte, backslashes
// elsewhere included, is copied unchanged, and a double-byte character is
// copied whole, so its trail byte is never read as a quote or a backslash.
// FALSE for a NULL lpszValue (strResult is then unchanged) or exhausted memory.
BOOL QuoteArgumentText(LPCSTR lpszValue, CString& strResult);

// The command line that starts lpszExePath with the caption and next-command
// options, with bRelaunch the relaunch option and with bRunAlways the
// run-always option before them, and between them a non-empty lpszRebootFlag
// and each of *pKnownCommands (when given), and the options of *pExtras:
//   "<exe>" [/r] [/always] [/exitcode] [/timeout=<s>] ["/log=<file>"] "/c=<caption>" ["/f=<flag>"]
//   ["/k=<known>" ...] "/n=<next>"
// The values are quoted by QuoteArgumentText, the path is taken as it is.
// FALSE for a NULL path, caption or next command, a missing option name or
// exhausted memory; strCommand is written only on success.
BOOL BuildWaiterCommand(LPCSTR lpszExePath, BOOL bRelaunch, LPCSTR lpszCaption, LPCSTR lpszNext, CString& strCommand,
	LPCSTR lpszRebootFlag = NULL, const CStringArray* pKnownCommands = NULL, BOOL bRunAlways = FALSE,
	const CWaitExtras* pExtras = NULL);
