// The caption probe: is there a top-level window whose caption begins with a text?
#include <stdlib.h>

#include "WaitProcThread.h"

namespace
{

struct CAPTIONSEARCH
{
	LPCSTR lpszCaption; // the caption prefix; not owned
	HWND hWndFound;     // NULL at the start; the last match so far
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

	LPSTR pszCaption = (LPSTR)calloc((size_t)nCaption + 1, 1);
	if (pszCaption == NULL)
		return TRUE;
	GetWindowTextA(hWnd, pszCaption, nCaption + 1);

	// Cut after the shortest run of whole characters that covers the prefix's
	// bytes, so that a prefix ending inside a double-byte character compares
	// against the whole character and does not match.
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
	*p = '\0';

	if (lstrcmpiA(pszCaption, pSearch->lpszCaption) == 0)
		pSearch->hWndFound = hWnd; // the last match wins
	free(pszCaption);
	return TRUE;
}

} // namespace

HWND CWaitProcThread::FindCaptionWindow(LPCSTR lpszCaption)
{
	if (lpszCaption == NULL)
		return NULL;
	CAPTIONSEARCH search = { lpszCaption, NULL };
	return EnumWindows(EnumCaptionProc, (LPARAM)&search) ? search.hWndFound : NULL;
}
