// CString: a length-counted byte string in the system's ANSI code page.
#pragma once

#include <stdarg.h>

#include "afxmem.h"

class CString
{
public:
	// Construction
	CString();
	CString(const CString& stringSrc);
	CString(LPCSTR lpsz);              // NULL gives an empty string
	CString(LPCSTR lpch, int nLength); // the first nLength bytes of lpch
	// UTF-16 text in the active code page; a character it lacks becomes its
	// default character. NULL, or no memory, gives an empty string.
	explicit CString(LPCWSTR lpsz);
	~CString();

	// Attributes
	int GetLength() const { return m_nDataLength; }
	BOOL IsEmpty() const { return m_nDataLength == 0; }
	char GetAt(int nIndex) const { return m_pchData[nIndex]; }
	operator LPCSTR() const { return m_pchData; }

	// Operations
	const CString& operator=(const CString& stringSrc);
	const CString& operator=(LPCSTR lpsz);
	const CString& operator+=(const CString& string);
	const CString& operator+=(LPCSTR lpsz);
	const CString& operator+=(char ch);
	friend CString operator+(const CString& string1, const CString& string2);
	friend CString operator+(const CString& string, LPCSTR lpsz);
	friend CString operator+(LPCSTR lpsz, const CString& string);

	// Arrays of strings come from the framework's heap in every build: NULL
	// when memory is exhausted, never an exception.
	static void* operator new[](size_t nSize) noexcept { return AfxAlloc(nSize); }
	static void operator delete[](void* p) noexcept { AfxFree(p); }

	void Empty();
	// Exchanges the texts of the two strings; never allocates, so it cannot
	// fail: the last step of an operation that writes its result only on success.
	void Swap(CString& other);

	// Loads string resource nID of the executable. FALSE when it is missing
	// or empty; the string is then empty.
	BOOL LoadString(UINT nID);

	// Byte positions and counts; out-of-range values are clamped.
	CString Left(int nCount) const;
	CString Mid(int nFirst) const;
	CString Mid(int nFirst, int nCount) const;

	// Position of the first occurrence, searched by whole characters of the
	// active code page and case-sensitively; -1 when there is none.
	int Find(LPCSTR lpszSub) const;
	int Find(char ch) const;

	// printf-style formatting. On a formatting or memory failure the string is empty.
	void Format(LPCSTR lpszFormat, ...);
	void FormatV(LPCSTR lpszFormat, va_list args);

	// A writable buffer of at least nMinBufLength bytes plus a terminator,
	// holding the current text. NULL when memory is exhausted (the string is
	// then unchanged). Call ReleaseBuffer before any other operation.
	LPSTR GetBuffer(int nMinBufLength);
	// Ends buffer access: the length is nNewLength, or taken from the
	// terminator when nNewLength is -1.
	void ReleaseBuffer(int nNewLength = -1);

	// Implementation
private:
	BOOL AllocBuffer(int nLength); // room for nLength bytes; keeps the text
	void AssignCopy(LPCSTR lpch, int nLength);
	void ConcatInPlace(LPCSTR lpch, int nLength);

	LPSTR m_pchData; // never NULL; NUL-terminated
	int m_nDataLength;
	int m_nAllocLength; // 0 while m_pchData is the shared empty text
};

inline bool operator==(const CString& s1, LPCSTR s2)
{
	return lstrcmpA(s1, s2 ? s2 : "") == 0;
}
inline bool operator!=(const CString& s1, LPCSTR s2)
{
	return !(s1 == s2);
}
