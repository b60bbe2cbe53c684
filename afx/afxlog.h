// The process's log: lines appended to one file in UTF-8, each with the local
// time to the millisecond and the process id. A log that cannot be opened or
// written changes nothing: every call then does nothing.
#pragma once

#include <windows.h>

// Opens lpszPath (text of the active code page) for appending, creating the
// file when it is missing; a log open before is closed. NULL or empty closes
// the log. FALSE when the file cannot be opened.
BOOL AfxOpenLog(LPCSTR lpszPath);
// Appends "yyyy-mm-dd hh:mm:ss.mmm [pid] <text>" and a line break, the text
// formatted printf-style from the active code page. Each line goes in one
// write to a file opened for appending only, so the lines of threads and
// processes that write at once never mix.
void AfxLog(LPCSTR lpszFormat, ...);
// Appends "<what>: error <n> (<the system's text for it>): <text>".
void AfxLogError(LPCSTR lpszWhat, DWORD dwError, LPCSTR lpszText);
