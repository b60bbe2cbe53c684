// The caption probe: is there a top-level window whose caption begins with a text?
#include "../afx/afxmem.h"
#include "WaitProcThread.h"

namespace
{

struct CAPTIONSEARCH
{
	LPCSTR lpszCaption; // the caption prefix; not owned
	BOOL bUtf8;         // the code page is UTF-8
	HWND hWndFound;     // NULL at the start; the last match so far
	BOOL bFailed;       // a caption could not be read
};

// Stores hWnd in the search record when its caption begins with the prefix,
// compared case-insensitively over whole characters.
BOOL CALLBACK EnumCaptionProc(HWND hWnd, LPARAM lParam)
{
	CAPTIONSEARCH* pSearch = (CAPTIONSEARCH*)lParam;

	int nPrefix = lstrlenA(pSearch->lpszCaption);
	int nCaption = GetWindowTextLengthA(hWnd);
	if (nCaption + 1 <= nPrefix)
		return TRUE; // shorter than the prefix: cannot match

	LPSTR pszCaption = (LPSTR)AfxAlloc((size_t)nCaption + 1);
	if (pszCaption == NULL)
	{
		pSearch->bFailed = TRUE;
		return TRUE;
	}
	pszCaption[0] = '\0';
	GetWindowTextA(hWnd, pszCaption, nCaption + 1);

	// Cut after the shortest run of whole characters that covers the prefix's
	// bytes, so that a prefix ending inside a character compares against the
	// whole character and does not match. CharNextA steps one byte in UTF-8,
	// where a character continues through the bytes 10xxxxxx; a cut among them
	// would leave a broken character, which compares equal to any other.
	LPSTR p = pszCaption;
	if (nPrefix > 0)
	{
		while (*p != '\0')
		{
			p = CharNextA(p);
			if (p - pszCaption >= nPrefix)
				break;
		}
	}
	if (pSearch->bUtf8)
		while ((*p & 0xC0) == 0x80)
			++p;
	*p = '\0';

	if (lstrcmpiA(pszCaption, pSearch->lpszCaption) == 0)
		pSearch->hWndFound = hWnd; // the last match wins
	AfxFree(pszCaption);
	return TRUE;
}

} // namespace

HWND CWaitProcThread::FindCaptionWindow(LPCSTR lpszCaption, BOOL* pbFailed)
{
	CAPTIONSEARCH search = { lpszCaption, GetACP() == CP_UTF8, NULL, lpszCaption == NULL };
	if (lpszCaption != NULL && !EnumWindows(EnumCaptionProc, (LPARAM)&search))
		search.bFailed = TRUE;
	if (pbFailed != NULL)
		*pbFailed = search.bFailed;
	return search.hWndFound;
}
