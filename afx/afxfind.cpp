#include "afxfind.h"

#include "afxwide.h"

CFileFind::CFileFind() : m_hFind(INVALID_HANDLE_VALUE), m_bHaveNext(FALSE)
{
	ZeroMemory(&m_next, sizeof(m_next));
	ZeroMemory(&m_current, sizeof(m_current));
}

CFileFind::~CFileFind()
{
	Close();
}

void CFileFind::Close()
{
	if (m_hFind != INVALID_HANDLE_VALUE)
	{
		::FindClose(m_hFind);
		m_hFind = INVALID_HANDLE_VALUE;
	}
	m_bHaveNext = FALSE;
}

BOOL CFileFind::FindFile(LPCSTR lpszName)
{
	Close();
	if (lpszName == NULL || lpszName[0] == '\0')
		return FALSE;
	// Sized as the system asks: in UTF-8 a path of MAX_PATH characters takes
	// up to three times as many bytes. The search itself knows its limit.
	CString strFull;
	DWORD nNeeded = GetFullPathNameA(lpszName, 0, NULL, NULL);
	LPSTR pBuffer = nNeeded != 0 ? strFull.GetBuffer((int)nNeeded) : NULL;
	DWORD nFull = pBuffer != NULL ? GetFullPathNameA(lpszName, nNeeded, pBuffer, NULL) : 0;
	strFull.ReleaseBuffer(nFull < nNeeded ? (int)nFull : 0);
	if (nFull == 0 || nFull >= nNeeded)
		return FALSE;

	// The root ends before the last separator, found by whole characters so
	// that a trail byte equal to a backslash is not taken for one.
	LPCSTR pLastSep = NULL;
	for (LPCSTR p = strFull; *p != '\0'; p = CharNextA(p))
		if (*p == '\\' || *p == '/')
			pLastSep = p;
	m_strRoot = pLastSep != NULL ? strFull.Left((int)(pLastSep - (LPCSTR)strFull)) : CString();

	CWideString strWide;
	if (!strWide.Convert(strFull))
		return FALSE;
	m_hFind = ::FindFirstFileW(strWide, &m_next);
	m_bHaveNext = m_hFind != INVALID_HANDLE_VALUE;
	return m_bHaveNext;
}

BOOL CFileFind::FindNextFile()
{
	if (!m_bHaveNext)
		return FALSE;
	m_current = m_next;
	m_bHaveNext = ::FindNextFileW(m_hFind, &m_next);
	return m_bHaveNext;
}

CString CFileFind::GetFileName() const
{
	return CString(m_current.cFileName);
}

CString CFileFind::GetFilePath() const
{
	CString strPath(m_strRoot);
	LPCSTR pEnd = (LPCSTR)strPath + strPath.GetLength();
	// The last whole character: a trail byte equal to a backslash is no separator.
	LPCSTR pLast = CharPrevA(strPath, pEnd);
	if (pLast == pEnd || (*pLast != '\\' && *pLast != '/'))
		strPath += '\\';
	return strPath + CString(m_current.cFileName);
}
