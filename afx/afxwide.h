// CWideString: text of the active code page in UTF-16, for comparisons that
// must not depend on a code page of the thread's locale (the ANSI compare and
// case functions convert through that one, and never through UTF-8).
#pragma once

#include "afxmem.h"

class CWideString
{
public:
	CWideString();
	~CWideString();

	// Attributes
	int GetLength() const { return m_nLength; } // in UTF-16 units
	operator LPCWSTR() const { return m_pwchData; }

	// Operations
	// Converts lpsz from the active code page. FALSE when lpsz is NULL, holds
	// bytes that are no whole character of that code page (a lone lead byte,
	// a cut UTF-8 sequence) or memory runs out: the string is then empty.
	BOOL Convert(LPCSTR lpsz);
	// A buffer of nLength units plus a terminator, all zero; the length is
	// then nLength. NULL when memory runs out (the string is then empty).
	LPWSTR GetBuffer(int nLength);
	// Upper-cases in place, by the system's UTF-16 case mapping.
	void MakeUpper();
	void Empty();

	// Implementation
private:
	CWideString(const CWideString&) = delete;
	void operator=(const CWideString&) = delete;

	LPWSTR m_pwchData; // never NULL; NUL-terminated
	int m_nLength;
};
