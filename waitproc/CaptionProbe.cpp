#include "CaptionProbe.h"

#include <stdlib.h>

#include "WaitProcThread.h"

BOOL CALLBACK EnumCaptionProc(HWND hWnd, LPARAM lParam)
{
	CAPTIONSEARCH* pSearch = (CAPTIONSEARCH*)lParam;
	if (pSearch == NULL || pSearch->lpszCaption == NULL)
		return FALSE;

	int nPrefix = lstrlenA(pSearch->lpszCaption);
	int nCaption = GetWindowTextLengthA(hWnd);
	if (nCaption + 1 <= nPrefix)
		return TRUE;                    // shorter than the prefix: cannot match

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
		pSearch->hWndFound = hWnd;      // the last match wins
	free(pszCaption);
	return TRUE;
}

HWND CWaitProcThread::FindCaptionWindow(LPCSTR lpszCaption)
{
	CAPTIONSEARCH search = { lpszCaption, NULL };
	return EnumWindows(EnumCaptionProc, (LPARAM)&search) ? search.hWndFound : NULL;
}
