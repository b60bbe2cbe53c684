// The caption probe: is there a top-level window whose caption begins with a text?
#include "../afx/afxwide.h"
#include "WaitProcThread.h"

namespace
{

struct CAPTIONSEARCH
{
	LPCWSTR lpszPrefix; // upper-cased; not owned
	int nPrefix;        // its length in UTF-16 units
	LPWSTR pszCaption;  // room for nPrefix units and a terminator; not owned
	HWND hWndFound;     // NULL at the start; the last match so far
};

// Stores hWnd in the search record when its caption begins with the prefix,
// letter case ignored. One call reads no more of the caption than the
// prefix's length, and a shorter caption reads fewer units, so it cannot
// match. The texts are compared in UTF-16, upper-cased by the system's case
// mapping: the ANSI compare functions convert through the code page of the
// thread's locale, which need not be the process's (it never is UTF-8).
BOOL CALLBACK EnumCaptionProc(HWND hWnd, LPARAM lParam)
{
	CAPTIONSEARCH* pSearch = (CAPTIONSEARCH*)lParam;
	int nPrefix = pSearch->nPrefix;
	if (GetWindowTextW(hWnd, pSearch->pszCaption, nPrefix + 1) != nPrefix)
		return TRUE;
	CharUpperBuffW(pSearch->pszCaption, (DWORD)nPrefix);
	if (memcmp(pSearch->pszCaption, pSearch->lpszPrefix, (size_t)nPrefix * sizeof(WCHAR)) == 0)
		pSearch->hWndFound = hWnd; // the last match wins
	return TRUE;
}

} // namespace

HWND CWaitProcThread::FindCaptionWindow(LPCSTR lpszCaption, BOOL* pbFailed)
{
	BOOL bFailed = lpszCaption == NULL;
	HWND hWndFound = NULL;
	if (!bFailed)
	{
		// A prefix that is no whole text of the code page (it ends inside a
		// character) matches no window; that is an answer, not a failure.
		CAllocFailureWatch watch;
		CWideString strPrefix, strCaption;
		if (strPrefix.Convert(lpszCaption) && strCaption.GetBuffer(strPrefix.GetLength()) != NULL)
		{
			strPrefix.MakeUpper();
			CAPTIONSEARCH search = { strPrefix, strPrefix.GetLength(), (LPWSTR)(LPCWSTR)strCaption, NULL };
			bFailed = !EnumWindows(EnumCaptionProc, (LPARAM)&search);
			hWndFound = search.hWndFound;
		}
		bFailed = bFailed || watch.HasFailed();
	}
	if (pbFailed != NULL)
		*pbFailed = bFailed;
	return hWndFound;
}
