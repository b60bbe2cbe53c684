// Command lines and paths, normalised for the RunOnce registration.
#pragma once

#include "../afx/afxstr.h"

// Normalises a command line: its program part (up to the first space or tab
// outside double quotes) becomes the program's full long path in double
// quotes; the rest, from that space on, stays byte for byte. A program part
// without any double quote that names no program is extended word by word,
// as process creation reads it, to the shortest run that does. When none
// does, the program part is kept as given, without its double quotes, in
// double quotes (or the file a wildcard in it matches). FALSE for a NULL
// lpszCommandLine or when memory runs out (strResult is then not touched).
BOOL SplitCommandLine(LPCSTR lpszCommandLine, CString& strResult);

// The long path of this executable's folder, with its trailing backslash.
// FALSE when it cannot be found (strDirectory is then not touched).
BOOL GetModuleFolder(CString& strDirectory);

// The full long path of the program file that process creation finds for
// lpszName: with ".exe" when it has no extension; a name without a folder
// in this executable's folder, the current folder, then the search path.
// FALSE when there is none, or memory runs out (strResult is then not touched).
BOOL FindProgramFile(LPCSTR lpszName, CString& strResult);

// Removes every ch from str, by whole characters: a trail byte equal to ch stays.
void RemoveChar(CString& str, char ch);

// The full long path of the first file matching lpszPath (wildcards allowed),
// or with bDirectory the directory holding it, with its trailing backslash.
// strResult is written only when a file matches. FALSE only when memory runs
// out (strResult is then not touched).
BOOL GetFullLongPath(LPCSTR lpszPath, CString& strResult, BOOL bDirectory);

// GetLongPathNameA, looked up in kernel32.dll at run time: its result, or 0
// where the system has no such function.
DWORD CallGetLongPathName(LPCSTR lpszPath, LPSTR lpszBuffer, DWORD cchBuffer);
