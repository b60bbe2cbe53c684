#include "CommandLine.h"

#include <mbstring.h>

#include "../afx/afxmem.h"
#include "../res/resource.h"

BOOL OptionTextBeginsWith(LPCSTR lpszText, const CString& strName)
{
	// The first k bytes of the text, k being the name's length; all of a shorter text.
	int nText = lstrlenA(lpszText);
	CString strHead(lpszText, nText < strName.GetLength() ? nText : strName.GetLength());
	return _mbsicmp((const unsigned char*)(LPCSTR)strHead, (const unsigned char*)(LPCSTR)strName) == 0;
}

BOOL CWaitOptionNames::Load()
{
	// Every name is loaded, so that a missing one reads as empty.
	BOOL bRelaunch = strRelaunch.LoadString(IDS_OPT_RELAUNCH);
	BOOL bCaption = strCaption.LoadString(IDS_OPT_CAPTION);
	BOOL bNext = strNext.LoadString(IDS_OPT_NEXT);
	BOOL bRebootFlag = strRebootFlag.LoadString(IDS_OPT_REBOOT_FLAG);
	BOOL bKnown = strKnown.LoadString(IDS_OPT_KNOWN);
	BOOL bRunAlways = strRunAlways.LoadString(IDS_OPT_RUN_ALWAYS);
	BOOL bTimeout = strTimeout.LoadString(IDS_OPT_TIMEOUT);
	BOOL bExitCode = strExitCode.LoadString(IDS_OPT_EXIT_CODE);
	BOOL bLog = strLog.LoadString(IDS_OPT_LOG);
	return bRelaunch && bCaption && bNext && bRebootFlag && bKnown && bRunAlways && bTimeout && bExitCode && bLog;
}

// A whole number of seconds up to CMDLINE_MAX_APPEAR_SECONDS, digits only; -1
// for any other text.
static int ReadSeconds(LPCSTR lpszText)
{
	int nSeconds = lpszText[0] != '\0' ? 0 : -1;
	for (LPCSTR p = lpszText; *p != '\0' && nSeconds >= 0; ++p)
	{
		nSeconds = *p >= '0' && *p <= '9' ? nSeconds * 10 + (*p - '0') : -1;
		if (nSeconds > CMDLINE_MAX_APPEAR_SECONDS)
			nSeconds = -1;
	}
	return nSeconds;
}

void ParseWaitOptions(int argc, char* const* argv, CWaitOptions& options)
{
	CWaitOptionNames names;
	names.Load();

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
		if (OptionTextBeginsWith(pszText, names.strRelaunch))
			options.bRelaunch = TRUE;
		else if (OptionTextBeginsWith(pszText, names.strCaption))
		{
			options.bCaptionGiven = TRUE;
			options.strCaption = pszText + names.strCaption.GetLength();
		}
		else if (OptionTextBeginsWith(pszText, names.strNext))
		{
			options.bNextGiven = TRUE;
			options.strNext = pszText + names.strNext.GetLength();
			bCommandPhase = TRUE;
		}
		else if (OptionTextBeginsWith(pszText, names.strRebootFlag))
			options.strRebootFlag = pszText + names.strRebootFlag.GetLength();
		else if (OptionTextBeginsWith(pszText, names.strKnown))
			options.astrKnownCommands.Add(pszText + names.strKnown.GetLength());
		else if (OptionTextBeginsWith(pszText, names.strRunAlways))
			options.bRunAlways = TRUE;
		else if (OptionTextBeginsWith(pszText, names.strTimeout))
		{
			int nSeconds = ReadSeconds(pszText + names.strTimeout.GetLength());
			if (nSeconds >= 0)
				options.extras.nAppearSeconds = nSeconds;
			else
				options.strIgnoredTimeout = pszArg;
		}
		else if (OptionTextBeginsWith(pszText, names.strExitCode))
			options.extras.bExitCode = TRUE;
		else if (OptionTextBeginsWith(pszText, names.strLog))
			options.extras.strLog = pszText + names.strLog.GetLength();
	}
}

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
	int nBackslashes = 0; // the run of backslashes just copied
	for (LPCSTR p = lpszValue; *p != '\0';)
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
	strResult.Swap(strQuoted);
	return TRUE;
}

// Appends  "/<name><value>"  to strLine, the value quoted for the C runtime.
// A failure shows in the caller's allocation watch.
static void AppendQuotedOption(CString& strLine, const CString& strName, LPCSTR lpszValue)
{
	CString strValue;
	QuoteArgumentText(lpszValue, strValue);
	strLine += " \"/" + strName + strValue + "\"";
}

BOOL BuildWaiterCommand(LPCSTR lpszExePath, BOOL bRelaunch, LPCSTR lpszCaption, LPCSTR lpszNext, CString& strCommand,
	LPCSTR lpszRebootFlag, const CStringArray* pKnownCommands, BOOL bRunAlways, const CWaitExtras* pExtras)
{
	// The new instance splits its command line by the C runtime's rules, so
	// each value is quoted for them. The next command comes last: every
	// argument after it belongs to it.
	CAllocFailureWatch watch;
	CWaitOptionNames names;
	if (lpszExePath == NULL || lpszCaption == NULL || lpszNext == NULL || !names.Load())
		return FALSE;
	CString strLine("\"");
	strLine += lpszExePath;
	strLine += '"';
	if (bRelaunch)
		strLine += " /" + names.strRelaunch;
	if (bRunAlways)
		strLine += " /" + names.strRunAlways;
	if (pExtras != NULL && pExtras->bExitCode)
		strLine += " /" + names.strExitCode;
	if (pExtras != NULL && pExtras->nAppearSeconds >= 0)
	{
		CString strSeconds;
		strSeconds.Format(" /%s%d", (LPCSTR)names.strTimeout, pExtras->nAppearSeconds);
		strLine += strSeconds;
	}
	if (pExtras != NULL && !pExtras->strLog.IsEmpty())
		AppendQuotedOption(strLine, names.strLog, pExtras->strLog);
	AppendQuotedOption(strLine, names.strCaption, lpszCaption);
	if (lpszRebootFlag != NULL && lpszRebootFlag[0] != '\0')
		AppendQuotedOption(strLine, names.strRebootFlag, lpszRebootFlag);
	for (int i = 0; pKnownCommands != NULL && i < pKnownCommands->GetSize(); ++i)
		AppendQuotedOption(strLine, names.strKnown, (*pKnownCommands)[i]);
	AppendQuotedOption(strLine, names.strNext, lpszNext);
	if (watch.HasFailed())
		return FALSE;
	strCommand.Swap(strLine);
	return TRUE;
}
