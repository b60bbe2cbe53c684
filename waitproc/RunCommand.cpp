// The follow-up command: started once the wait is over, then awaited.
#include "WaitProcThread.h"

// Formatted into a string of its own length, so that no command line is cut
// or overruns a buffer.
void WriteDebugLine(LPCSTR lpszLabel, LPCSTR lpszText)
{
	CString strLine;
	strLine.Format("%s: %s\n", lpszLabel, lpszText);
	OutputDebugStringA(strLine);
}

BOOL CWaitProcThread::RunCommand()
{
	if (m_strCommand.IsEmpty())
		return TRUE;
	m_nState = stateRunning;

	CProcess process;
	BOOL bStarted = process.Start(m_strCommand) == ERROR_SUCCESS;
	WriteDebugLine(bStarted ? "SUCCESS" : "ERROR", m_strCommand);
	if (bStarted)
	{
		m_hCommandProcess = process.Detach();
		WaitForProcess(m_hCommandProcess);
		CloseCommandProcess();
		m_strCommand.Empty();
	}
	return bStarted;
}
