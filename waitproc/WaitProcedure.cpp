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

BOOL CWaitProcThread::InitInstance()
{
	m_bAutoDelete = FALSE;
	m_nState = stateWaiting;
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
	PostMessageA(HWND_BROADCAST, RegisterWindowMessageA(WAITPROC_END_MESSAGE), 0, 0);

	if (CloseWaitProcess() && (bWaited || m_bRunAlways))
	{
		// A consumed flag is gone: a command that cannot be registered for
		// after the reboot runs now, or it would be lost. An empty command
		// has nothing to register or run.
		BOOL bRebootPending = CheckRebootFlag(m_strRebootFlag) && !m_strCommand.IsEmpty();
		BOOL bRegistered = bRebootPending && RegisterRestart(m_strCommand, TRUE, m_strCaption);
		if (bRebootPending && !bRegistered)
			WriteDebugLine("NOT REGISTERED", m_strCommand);
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
		if (m_nWaitType == waitProcessThenCaption && m_nState == stateWaiting && !m_strCaption.IsEmpty()
			&& FindCaptionWindow(m_strCaption) != NULL)
		{
			m_bCaptionSeen = TRUE;
			return TRUE;
		}
	}
}

BOOL CWaitProcThread::WaitForCaption(LPCSTR lpszCaption)
{
	if (lpszCaption == NULL)
		return FALSE;
	int nAppearPolls, nVanishPolls;
	if (!LoadPollCount(IDS_APPEAR_TIMEOUT, nAppearPolls) || !LoadPollCount(IDS_VANISH_SECONDS, nVanishPolls))
		return FALSE;

	if (!m_bCaptionSeen)
	{
		BOOL bFound = FALSE;
		for (int i = 0; i < nAppearPolls && !bFound; ++i)
		{
			bFound = FindCaptionWindow(lpszCaption) != NULL;
			if (!bFound)
			{
				if (m_bStopRequested)
					return FALSE;
				Sleep(WAITPROC_POLL_MS);
			}
		}
		if (!bFound)
			return FALSE;
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
	return TRUE;
}
