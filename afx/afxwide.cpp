#include "afxwide.h"

static WCHAR s_wchNil = L'\0';

CWideString::CWideString() : m_pwchData(&s_wchNil), m_nLength(0)
{
}

CWideString::~CWideString()
{
	Empty();
}

void CWideString::Empty()
{
	if (m_pwchData != &s_wchNil)
		AfxFree(m_pwchData);
	m_pwchData = &s_wchNil;
	m_nLength = 0;
}

LPWSTR CWideString::GetBuffer(int nLength)
{
	Empty();
	if (nLength < 0)
		return NULL;
	LPWSTR p = (LPWSTR)AfxAlloc(((size_t)nLength + 1) * sizeof(WCHAR));
	if (p == NULL)
		return NULL;
	ZeroMemory(p, ((size_t)nLength + 1) * sizeof(WCHAR));
	m_pwchData = p;
	m_nLength = nLength;
	return p;
}

BOOL CWideString::Convert(LPCSTR lpsz)
{
	Empty();
	if (lpsz == NULL)
		return FALSE;
	// Without this flag a broken character becomes a default character, which
	// would then compare equal to another broken one.
	const DWORD dwFlags = MB_ERR_INVALID_CHARS;
	int nChars = MultiByteToWideChar(CP_ACP, dwFlags, lpsz, -1, NULL, 0);
	LPWSTR p = nChars > 0 ? GetBuffer(nChars - 1) : NULL;
	if (p == NULL)
		return FALSE;
	if (MultiByteToWideChar(CP_ACP, dwFlags, lpsz, -1, p, nChars) != nChars)
	{
		Empty();
		return FALSE;
	}
	return TRUE;
}

void CWideString::MakeUpper()
{
	if (m_nLength != 0)
		CharUpperBuffW(m_pwchData, (DWORD)m_nLength);
}
