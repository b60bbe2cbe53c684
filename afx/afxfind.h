// CFileFind: a file search whose paths are absolute.
#pragma once

#include "afxstr.h"

class CFileFind
{
public:
	CFileFind();
	~CFileFind(); // closes the search

	// Operations
	// TRUE when at least one entry matches lpszName (wildcards allowed). The
	// root becomes the absolute form of lpszName (resolved against the current
	// directory, "." and ".." removed) cut before its last backslash or slash.
	// FALSE also when memory for the absolute form runs out.
	BOOL FindFile(LPCSTR lpszName);
	// Makes the next match current. TRUE while further matches exist after it.
	BOOL FindNextFile();
	void Close();

	// Attributes of the current match (after FindNextFile)
	CString GetFileName() const; // the name as the file system stores it
	CString GetFilePath() const; // root + backslash (unless it ends in one) + name

private:
	CFileFind(const CFileFind&);
	void operator=(const CFileFind&);

	HANDLE m_hFind;
	// The wide form: the ANSI one holds a name in MAX_PATH bytes, which a long
	// name in UTF-8 overruns, failing the whole search.
	WIN32_FIND_DATAW m_next; // found ahead, not yet current
	WIN32_FIND_DATAW m_current;
	BOOL m_bHaveNext;
	CString m_strRoot;
};
