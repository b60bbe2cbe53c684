// The follow-up command: started once the wait is over, then awaited.
#include "../afx/afxmem.h"
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
