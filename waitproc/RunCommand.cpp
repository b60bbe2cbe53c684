// The follow-up command: started once the wait is over, then awaited.
#include "../afx/afxmem.h"
#include "../restart/CommandPath.h"
#include "WaitProcThread.h"

// Formatted into a string of its own length, so that no command line is cut
// or overruns a buffer. Handed over in UTF-16, which a debugger shows as
// written whatever code page it reads bytes in (in UTF-8 this process's bytes
// are not the system's). OutputDebugStringW cuts a line past 32,766
// characters, so such a line goes as bytes, whole; so does one that finds no
// memory for its UTF-16 form.
void WriteDebugLine(LPCSTR lpszLabel, LPCSTR lpszText)
{
	CString strLine;
	strLine.Format("%s: %s\n", lpszLabel, lpszText);
	int nChars = MultiByteToWideChar(CP_ACP, 0, strLine, -1, NULL, 0);
	LPWSTR pszWide = nChars > 0 && nChars <= 32767 ? (LPWSTR)AfxAlloc((size_t)nChars * sizeof(WCHAR)) : NULL;
	if (pszWide != NULL && MultiByteToWideChar(CP_ACP, 0, strLine, -1, pszWide, nChars) == nChars)
		OutputDebugStringW(pszWide);
	else
		OutputDebugStringA(strLine);
	AfxFree(pszWide);
}

// Windows refuses to create a process that asks for elevation (by its
// manifest, or as an installer by its name) for a caller that is not elevated;
// the shell starts it as a double-click does, once the user consents. The
// shell takes the program and its arguments apart, as process creation finds
// the program.
static DWORD StartThroughShell(CProcess& process, LPCSTR lpszCommandLine)
{
	CString strSplit; // "<program>" and the arguments as written
	if (!SplitCommandLine(lpszCommandLine, strSplit))
		return ERROR_NOT_ENOUGH_MEMORY;
	CString strFile = strSplit.Mid(1);
	int nQuote = strFile.Find('"');
	if (nQuote < 0)
		return ERROR_INVALID_PARAMETER;
	LPCSTR pszParameters = (LPCSTR)strFile + nQuote + 1;
	while (*pszParameters == ' ' || *pszParameters == '\t')
		++pszParameters;
	CString strParameters(pszParameters);
	strFile = strFile.Left(nQuote);
	return process.StartThroughShell(strFile, strParameters.IsEmpty() ? NULL : (LPCSTR)strParameters);
}

BOOL CWaitProcThread::RunCommand()
{
	if (m_strCommand.IsEmpty())
		return TRUE;
	m_nState = stateRunning;

	CProcess process;
	DWORD dwResult = process.Start(m_strCommand);
	if (dwResult == ERROR_ELEVATION_REQUIRED)
		dwResult = StartThroughShell(process, m_strCommand);
	BOOL bStarted = dwResult == ERROR_SUCCESS;
	WriteDebugLine(bStarted ? "SUCCESS" : "ERROR", m_strCommand);
	m_dwExitCode = bStarted ? ERROR_SUCCESS : WAITPROC_EXIT_NOT_STARTED;
	if (bStarted)
	{
		AfxLog("follow-up started: %s", (LPCSTR)m_strCommand);
		// No handle when the shell handed the program to one already running.
		m_hCommandProcess = process.Detach();
		if (WaitForProcess(m_hCommandProcess) && GetExitCodeProcess(m_hCommandProcess, &m_dwExitCode))
			AfxLog("follow-up ended: exit code %lu", m_dwExitCode);
		CloseCommandProcess();
		m_strCommand.Empty();
	}
	else
		AfxLogError("follow-up not started", dwResult, m_strCommand);
	return bStarted;
}
