#include "CommandLine.h"

#include <mbstring.h>

#include "../res/resource.h"

BOOL OptionTextBeginsWith(LPCSTR lpszText, const CString& strName)
{
	// The first k bytes of the text, k being the name's length; all of a shorter text.
	int nText = lstrlenA(lpszText);
	CString strHead(lpszText, nText < strName.GetLength() ? nText : strName.GetLength());
	return _mbsicmp((const unsigned char*)(LPCSTR)strHead,
		(const unsigned char*)(LPCSTR)strName) == 0;
}

void ParseWaitOptions(int argc, char* const* argv, CWaitOptions& options)
{
	CString strRelaunch, strCaption, strNext;
	strRelaunch.LoadString(IDS_OPT_RELAUNCH);
	strCaption.LoadString(IDS_OPT_CAPTION);
	strNext.LoadString(IDS_OPT_NEXT);

	BOOL bCommandPhase = FALSE;
	for (int i = 1; i < argc; ++i)
	{
		LPCSTR pszArg = argv[i];
		if (bCommandPhase)
		{
			if (!options.strNext.IsEmpty())
				options.strNext += ' ';
			options.strNext += pszArg;
			continue;
		}
		if (pszArg[0] != '/' && pszArg[0] != '-')
			continue;
		LPCSTR pszText = pszArg + 1;
		if (OptionTextBeginsWith(pszText, strRelaunch))
			options.bRelaunch = TRUE;
		else if (OptionTextBeginsWith(pszText, strCaption))
		{
			options.bCaptionGiven = TRUE;
			options.strCaption = pszText + strCaption.GetLength();
		}
		else if (OptionTextBeginsWith(pszText, strNext))
		{
			options.bNextGiven = TRUE;
			options.strNext = pszText + strNext.GetLength();
			bCommandPhase = TRUE;
		}
	}
}
