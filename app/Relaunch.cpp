// Relaunch: a new instance of the utility takes over the work, so that the
// caller is not held up.
#include "CommandLine.h"

#include "../afx/afx.h"

#include "../res/resource.h"
#include "../restart/ArgQuote.h"

BOOL BuildRelaunchCommand(LPCSTR lpszExePath, LPCSTR lpszCaption, LPCSTR lpszNext,
	CString& strCommand)
{
	CString strCaptionName, strNextName, strCaption, strNext;
	strCaptionName.LoadString(IDS_OPT_CAPTION);
	strNextName.LoadString(IDS_OPT_NEXT);
	// The new instance splits its command line by the C runtime's rules, so
	// each value is quoted for them.
	if (!QuoteArgumentText(lpszCaption, strCaption) || !QuoteArgumentText(lpszNext, strNext))
		return FALSE;
	strCommand.Format("\"%s\" \"%c%s%s\" \"%c%s%s\"", lpszExePath,
		'/', (LPCSTR)strCaptionName, (LPCSTR)strCaption,
		'/', (LPCSTR)strNextName, (LPCSTR)strNext);
	return !strCommand.IsEmpty();
}

BOOL RelaunchWaiter(LPCSTR lpszCaption, LPCSTR lpszNext)
{
	CString strExePath, strCommand;
	if (!AfxGetModuleFileName(strExePath, MAX_PATH + 1)
		|| !BuildRelaunchCommand(strExePath, lpszCaption, lpszNext, strCommand))
		return FALSE;

	STARTUPINFOA si;
	ZeroMemory(&si, sizeof(si));
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi;
	LPSTR pszCommand = strCommand.GetBuffer(strCommand.GetLength());
	BOOL bStarted = pszCommand != NULL
		&& CreateProcessA(NULL, pszCommand, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
	strCommand.ReleaseBuffer();
	if (!bStarted)
		return FALSE;
	CloseHandle(pi.hThread);
	CloseHandle(pi.hProcess);
	return TRUE;
}
