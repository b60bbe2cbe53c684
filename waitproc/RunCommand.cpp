// The follow-up command: started once the wait is over, then awaited.
#include "WaitProcThread.h"

// One debug-output line per started command. Formatted into a string of its own
// length, so that no command line is cut or overruns a buffer.
static void ReportStart(BOOL bStarted, LPCSTR lpszCommand)
{
	CString strLine;
	strLine.Format(bStarted ? "SUCCESS: %s\n" : "ERROR: %s\n", lpszCommand);
	OutputDebugStringA(strLine);
}

BOOL CWaitProcThread::RunCommand()
{
	if (m_strCommand.IsEmpty())
		return TRUE;
	m_nState = 2;

	STARTUPINFOA si;
	ZeroMemory(&si, sizeof(si));
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi;
	ZeroMemory(&pi, sizeof(pi));

	// CreateProcessA may write into the command line while it parses it.
	LPSTR pszCommand = m_strCommand.GetBuffer(m_strCommand.GetLength());
	BOOL bStarted = pszCommand != NULL
		&& CreateProcessA(NULL, pszCommand, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi);
	m_strCommand.ReleaseBuffer();
	ReportStart(bStarted, m_strCommand);
	if (!bStarted)
		return FALSE;

	CloseHandle(pi.hThread);
	m_hCommandProcess = pi.hProcess;
	WaitForProcess(m_hCommandProcess);
	CloseCommandProcess();
	m_strCommand.Empty();
	return TRUE;
}
