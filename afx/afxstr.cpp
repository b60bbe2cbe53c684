#include "afxstr.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "afxapp.h"
#include "afxmem.h"

static char s_chNil = '\0';

CString::CString() : m_pchData(&s_chNil), m_nDataLength(0), m_nAllocLength(0)
{
}

CString::CString(const CString& stringSrc) : CString()
{
	AssignCopy(stringSrc.m_pchData, stringSrc.m_nDataLength);
}

CString::CString(LPCSTR lpsz) : CString()
{
	if (lpsz != NULL)
		AssignCopy(lpsz, lstrlenA(lpsz));
}

CString::CString(LPCSTR lpch, int nLength) : CString()
{
	if (lpch != NULL && nLength > 0)
		AssignCopy(lpch, nLength);
}

CString::CString(LPCWSTR lpsz) : CString()
{
	int nBytes = lpsz != NULL ? WideCharToMultiByte(CP_ACP, 0, lpsz, -1, NULL, 0, NULL, NULL) : 0;
	LPSTR p = nBytes > 1 ? GetBuffer(nBytes - 1) : NULL;
	if (p != NULL)
		ReleaseBuffer(WideCharToMultiByte(CP_ACP, 0, lpsz, -1, p, nBytes, NULL, NULL) == nBytes ? nBytes - 1 : 0);
}

CString::~CString()
{
	if (m_nAllocLength != 0)
		AfxFree(m_pchData);
}

BOOL CString::AllocBuffer(int nLength)
{
	if (nLength <= m_nAllocLength)
		return TRUE;
	LPSTR pNew = (LPSTR)AfxAlloc((size_t)nLength + 1);
	if (pNew == NULL)
		return FALSE;
	memcpy(pNew, m_pchData, (size_t)m_nDataLength + 1);
	if (m_nAllocLength != 0)
		AfxFree(m_pchData);
	m_pchData = pNew;
	m_nAllocLength = nLength;
	return TRUE;
}

void CString::AssignCopy(LPCSTR lpch, int nLength)
{
	if (lpch == m_pchData && nLength == m_nDataLength)
		return;
	if (nLength > m_nAllocLength)
	{
		Empty();
		if (!AllocBuffer(nLength))
			return;
	}
	memmove(m_pchData, lpch, (size_t)nLength);
	m_pchData[nLength] = '\0';
	m_nDataLength = nLength;
}

void CString::ConcatInPlace(LPCSTR lpch, int nLength)
{
	if (nLength <= 0)
		return;
	if (m_nDataLength + nLength > m_nAllocLength)
	{
		// lpch may point into this string: grow into a copy first.
		CString strGrown;
		if (!strGrown.AllocBuffer((m_nDataLength + nLength) * 3 / 2))
			return;
		memcpy(strGrown.m_pchData, m_pchData, (size_t)m_nDataLength);
		memcpy(strGrown.m_pchData + m_nDataLength, lpch, (size_t)nLength);
		strGrown.m_nDataLength = m_nDataLength + nLength;
		strGrown.m_pchData[strGrown.m_nDataLength] = '\0';
		Swap(strGrown);
		return;
	}
	memmove(m_pchData + m_nDataLength, lpch, (size_t)nLength);
	m_nDataLength += nLength;
	m_pchData[m_nDataLength] = '\0';
}

const CString& CString::operator=(const CString& stringSrc)
{
	AssignCopy(stringSrc.m_pchData, stringSrc.m_nDataLength);
	return *this;
}

const CString& CString::operator=(LPCSTR lpsz)
{
	if (lpsz == NULL)
		Empty();
	else
		AssignCopy(lpsz, lstrlenA(lpsz));
	return *this;
}

const CString& CString::operator+=(const CString& string)
{
	ConcatInPlace(string.m_pchData, string.m_nDataLength);
	return *this;
}

const CString& CString::operator+=(LPCSTR lpsz)
{
	if (lpsz != NULL)
		ConcatInPlace(lpsz, lstrlenA(lpsz));
	return *this;
}

const CString& CString::operator+=(char ch)
{
	ConcatInPlace(&ch, 1);
	return *this;
}

CString operator+(const CString& string1, const CString& string2)
{
	CString s(string1);
	s += string2;
	return s;
}

CString operator+(const CString& string, LPCSTR lpsz)
{
	CString s(string);
	s += lpsz;
	return s;
}

CString operator+(LPCSTR lpsz, const CString& string)
{
	CString s(lpsz);
	s += string;
	return s;
}

void CString::Swap(CString& other)
{
	LPSTR pData = m_pchData;
	int nDataLength = m_nDataLength, nAllocLength = m_nAllocLength;
	m_pchData = other.m_pchData;
	m_nDataLength = other.m_nDataLength;
	m_nAllocLength = other.m_nAllocLength;
	other.m_pchData = pData;
	other.m_nDataLength = nDataLength;
	other.m_nAllocLength = nAllocLength;
}

void CString::Empty()
{
	if (m_nAllocLength != 0)
		AfxFree(m_pchData);
	m_pchData = &s_chNil;
	m_nDataLength = 0;
	m_nAllocLength = 0;
}

BOOL CString::LoadString(UINT nID)
{
	// LoadStringA reports no needed size: retry with a larger buffer until the
	// text ends before the buffer does.
	for (int nSize = 256; nSize <= 64 * 1024; nSize *= 4)
	{
		LPSTR p = GetBuffer(nSize - 1);
		if (p == NULL)
			break;
		int nLen = ::LoadStringA(GetModuleHandleA(NULL), nID, p, nSize);
		ReleaseBuffer(nLen > 0 ? nLen : 0);
		if (nLen < nSize - 1)
			return nLen > 0;
	}
	Empty();
	return FALSE;
}

CString CString::Left(int nCount) const
{
	if (nCount < 0)
		nCount = 0;
	if (nCount > m_nDataLength)
		nCount = m_nDataLength;
	return CString(m_pchData, nCount);
}

CString CString::Mid(int nFirst) const
{
	return Mid(nFirst, m_nDataLength);
}

CString CString::Mid(int nFirst, int nCount) const
{
	if (nFirst < 0)
		nFirst = 0;
	if (nFirst > m_nDataLength)
		nFirst = m_nDataLength;
	if (nCount < 0)
		nCount = 0;
	if (nCount > m_nDataLength - nFirst)
		nCount = m_nDataLength - nFirst;
	return CString(m_pchData + nFirst, nCount);
}

int CString::Find(LPCSTR lpszSub) const
{
	if (lpszSub == NULL)
		return -1;
	// Matches start only where a character starts, so that a trail byte is
	// never taken for the first byte of the text sought.
	int nSub = lstrlenA(lpszSub);
	for (LPCSTR p = m_pchData;; p = CharNextA(p))
	{
		if (m_nDataLength - (p - m_pchData) < nSub)
			return -1;
		if (memcmp(p, lpszSub, (size_t)nSub) == 0)
			return (int)(p - m_pchData);
		if (*p == '\0')
			return -1;
	}
}

int CString::Find(char ch) const
{
	const char sz[2] = { ch, '\0' };
	return ch == '\0' ? -1 : Find(sz);
}

void CString::Format(LPCSTR lpszFormat, ...)
{
	va_list args;
	va_start(args, lpszFormat);
	FormatV(lpszFormat, args);
	va_end(args);
}

void CString::FormatV(LPCSTR lpszFormat, va_list args)
{
	Empty();
	va_list argsCopy;
	va_copy(argsCopy, args);
	int nLen = _vscprintf(lpszFormat, argsCopy);
	va_end(argsCopy);
	LPSTR p = nLen > 0 ? GetBuffer(nLen) : NULL;
	if (p != NULL)
		ReleaseBuffer(_vsnprintf(p, (size_t)nLen + 1, lpszFormat, args) == nLen ? nLen : 0);
}

LPSTR CString::GetBuffer(int nMinBufLength)
{
	if (nMinBufLength < m_nDataLength)
		nMinBufLength = m_nDataLength;
	if (!AllocBuffer(nMinBufLength))
		return NULL;
	if (m_nAllocLength == 0)
	{
		// No length asked of an empty string: still hand out a private buffer.
		if (!AllocBuffer(1))
			return NULL;
	}
	return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength)
{
	if (m_nAllocLength == 0)
		return;
	if (nNewLength < 0)
	{
		const void* pEnd = memchr(m_pchData, '\0', (size_t)m_nAllocLength);
		nNewLength = pEnd != NULL ? (int)((LPCSTR)pEnd - m_pchData) : m_nAllocLength;
	}
	if (nNewLength > m_nAllocLength)
		nNewLength = m_nAllocLength;
	m_nDataLength = nNewLength;
	m_pchData[nNewLength] = '\0';
}
