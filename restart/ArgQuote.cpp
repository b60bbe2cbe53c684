#include "ArgQuote.h"

BOOL QuoteArgumentText(LPCSTR lpszValue, CString& strResult)
{
	if (lpszValue == NULL)
		return FALSE;
	int nLength = lstrlenA(lpszValue);
	// At worst every byte is a quote or a backslash and is written twice.
	CString strQuoted;
	LPSTR pOut = strQuoted.GetBuffer(2 * nLength);
	if (pOut == NULL)
		return FALSE;
	LPSTR pStart = pOut;
	int nBackslashes = 0;               // the run of backslashes just copied
	for (LPCSTR p = lpszValue; *p != '\0'; )
	{
		LPCSTR pNext = CharNextA(p);
		if (*p == '"')
		{
			// n backslashes + quote: 2n + 1 backslashes, then the quote.
			for (int i = 0; i <= nBackslashes; ++i)
				*pOut++ = '\\';
			nBackslashes = 0;
		}
		else
			nBackslashes = (*p == '\\' && pNext == p + 1) ? nBackslashes + 1 : 0;
		while (p < pNext)
			*pOut++ = *p++;
	}
	// The closing quote follows: double the trailing run.
	for (int i = 0; i < nBackslashes; ++i)
		*pOut++ = '\\';
	strQuoted.ReleaseBuffer((int)(pOut - pStart));
	strResult = strQuoted;
	return TRUE;
}
