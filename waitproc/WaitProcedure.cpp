// The wait procedure: the whole of the worker's work, run as its InitInstance.
#include "WaitProcThread.h"

#include <stdlib.h>

#include "../res/resource.h"

// Seconds from a string resource as polls of WAITPROC_POLL_MS, rounded like
// MulDiv. FALSE when the resource is missing or empty.
static BOOL LoadPollCount(UINT nID, int& nPolls)
{
	CString strSeconds;
	if (!strSeconds.LoadString(nID))
		return FALSE;
	nPolls = MulDiv(atoi(strSeconds), 1000, WAITPROC_POLL_MS);
	return TRUE;
}

// The log's line for the window found: its caption, class, handle and process.
static void LogWindow(HWND hWnd)
{
	WCHAR szCaption[256], szClass[256];
	szCaption[0] = szClass[0] = L'\0';
	GetWindowTextW(hWnd, szCaption, 256);
	GetClassNameW(hWnd, szClass, 256);
	DWORD dwProcessId = 0;
	GetWindowThreadProcessId(hWnd, &dwProcessId);
	AfxLog("window found: \"%s\", class %s, handle %p, process %lu", (LPCSTR)CString(szCaption),
		(LPCSTR)CString(szClass), (void*)hWnd, dwProcessId);
}

BOOL CWaitProcThread::InitInstance()
{
	m_bAutoDelete = FALSE;
	m_nState = stateWaiting;
	m_dwExitCode = WAITPROC_EXIT_NO_WINDOW;
	BOOL bWaited = FALSE;

	switch (m_nWaitType)
	{
	case waitProcess:
		if (m_hWaitProcess != NULL)
			bWaited = WaitForProcess(m_hWaitProcess);
		break;
	case waitCaption:
		if (!m_strCaption.IsEmpty())
			bWaited = WaitForCaption(m_strCaption);
		break;
	case waitProcessThenCaption:
		if (m_hWaitProcess != NULL)
		{
			bWaited = WaitForProcess(m_hWaitProcess);
			if (bWaited && !m_strCaption.IsEmpty())
				bWaited = WaitForCaption(m_strCaption);
		}
		break;
	}

	// Broadcast whatever the outcome: listeners learn that the wait is over.
	if (PostMessageA(HWND_BROADCAST, RegisterWindowMessageA(WAITPROC_END_MESSAGE), 0, 0))
		AfxLog("broadcast posted");
	else
		AfxLog("broadcast not posted: error %lu", GetLastError());

	if (CloseWaitProcess() && (bWaited || m_bRunAlways))
	{
		m_dwExitCode = ERROR_SUCCESS;
		// A consumed flag is gone: a command that cannot be registered for
		// after the reboot runs now, or it would be lost. An empty command
		// has nothing to register or run.
		BOOL bRebootPending = CheckRebootFlag(m_strRebootFlag) && !m_strCommand.IsEmpty();
		BOOL bRegistered = bRebootPending && RegisterRestart(m_strCommand, TRUE, m_strCaption);
		if (bRegistered)
			m_dwExitCode = ERROR_SUCCESS_REBOOT_REQUIRED;
		if (bRebootPending && !bRegistered)
		{
			WriteDebugLine("NOT REGISTERED", m_strCommand);
			AfxLog("NOT REGISTERED: %s", (LPCSTR)m_strCommand);
		}
		if (!bRegistered && (bRebootPending || !m_bNoImmediateRun))
			RunCommand();
	}

	m_nState = stateIdle;
	NotifyFinished();
	return TRUE;
}

BOOL CWaitProcThread::WaitForProcess(HANDLE hProcess)
{
	if (hProcess == NULL)
		return FALSE;
	for (;;)
	{
		// Ended, abandoned or a failed wait: all count as the end of the process.
		if (WaitForSingleObject(hProcess, WAITPROC_POLL_MS) != WAIT_TIMEOUT)
			return TRUE;
		if (m_bStopRequested)
			return FALSE;
		// Only the process wait before the caption wait looks for the caption
		// window, not the wait for the follow-up command.
		HWND hWndFound = m_nWaitType == waitProcessThenCaption && m_nState == stateWaiting && !m_strCaption.IsEmpty()
			? FindCaptionWindow(m_strCaption)
			: NULL;
		if (hWndFound != NULL)
		{
			LogWindow(hWndFound);
			m_bCaptionSeen = TRUE;
			return TRUE;
		}
	}
}

BOOL CWaitProcThread::WaitForCaption(LPCSTR lpszCaption)
{
	if (lpszCaption == NULL)
		return FALSE;
	// The appear timeout of the command line, when given, outranks the string
	// table's; 0 waits for as long as it takes.
	int nAppearPolls, nVanishPolls;
	if (!LoadPollCount(IDS_APPEAR_TIMEOUT, nAppearPolls) || !LoadPollCount(IDS_VANISH_SECONDS, nVanishPolls))
		return FALSE;
	if (m_extras.nAppearSeconds >= 0)
		nAppearPolls = MulDiv(m_extras.nAppearSeconds, 1000, WAITPROC_POLL_MS);
	BOOL bNoLimit = m_extras.nAppearSeconds == 0;

	if (!m_bCaptionSeen)
	{
		HWND hWndFound = NULL;
		for (int i = 0; (bNoLimit || i < nAppearPolls) && hWndFound == NULL; ++i)
		{
			hWndFound = FindCaptionWindow(lpszCaption);
			if (hWndFound == NULL)
			{
				if (m_bStopRequested)
					return FALSE;
				Sleep(WAITPROC_POLL_MS);
			}
		}
		if (hWndFound == NULL)
		{
			AfxLog("window never appeared: \"%s\"", lpszCaption);
			return FALSE;
		}
		LogWindow(hWndFound);
	}

	// The window must stay absent for nVanishPolls probes in a row.
	for (int nAbsent = 0; nAbsent < nVanishPolls;)
	{
		if (m_bStopRequested)
			return FALSE;
		// A failed probe saw nothing: the count neither grows nor starts again.
		BOOL bFailed = FALSE;
		if (FindCaptionWindow(lpszCaption, &bFailed) != NULL)
			nAbsent = 0;
		else if (!bFailed)
			++nAbsent;
		Sleep(WAITPROC_POLL_MS);
	}
	AfxLog("window gone");
	return TRUE;
}
