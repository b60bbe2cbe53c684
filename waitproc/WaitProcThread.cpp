// The worker object: configuration, handle closing, stop and notify.
#include "WaitProcThread.h"

IMPLEMENT_DYNCREATE(CWaitProcThread, CWinThread)

BEGIN_MESSAGE_MAP(CWaitProcThread, CWinThread)
	ON_THREAD_MESSAGE(WM_WAITPROC_STOP, CWaitProcThread::OnWaitProcStop)
END_MESSAGE_MAP()

CWaitProcThread::CWaitProcThread()
	: m_pNotifyWnd(NULL), m_pNotifyThread(NULL), m_nNotifyType(notifyNone), m_bRunAlways(FALSE), m_bAltNotify(FALSE),
	  m_bNoImmediateRun(FALSE), m_hWaitProcess(NULL), m_hCommandProcess(NULL), m_nWaitType(waitNone),
	  m_bCaptionSeen(FALSE), m_bStopRequested(FALSE), m_bReported(FALSE), m_nState(stateIdle), m_dwExitCode(0)
{
}

CWaitProcThread::~CWaitProcThread()
{
}

BOOL CWaitProcThread::SetWaitCaption(LPCSTR lpszCaption)
{
	if (!m_strCaption.IsEmpty() || lpszCaption == NULL || lpszCaption[0] == '\0')
		return FALSE;
	m_strCaption = lpszCaption;
	m_nWaitType = waitCaption;
	return TRUE;
}

BOOL CWaitProcThread::SetCommand(LPCSTR lpszCommand, BOOL bRunAlways)
{
	if (lpszCommand == NULL)
		return FALSE;
	m_strCommand = lpszCommand;
	m_bRunAlways = bRunAlways;
	return TRUE;
}

BOOL CWaitProcThread::SetNotifyThread(CWinThread* pThread)
{
	if (pThread == NULL)
		return FALSE;
	m_pNotifyThread = pThread;
	m_nNotifyType = notifyThread;
	return TRUE;
}

BOOL CWaitProcThread::CloseWaitProcess()
{
	return CHandle::Close(m_hWaitProcess);
}

BOOL CWaitProcThread::CloseCommandProcess()
{
	return CHandle::Close(m_hCommandProcess);
}

BOOL CWaitProcThread::Stop(BOOL bWait)
{
	// The worker may delete itself, and close m_hThread, as soon as the message
	// is posted: take the id and the end handle first, and touch the object no
	// more after posting.
	DWORD nThreadID = m_nThreadID;
	CHandle hEnded(bWait ? DetachEndWait() : NULL);
	InterlockedExchange(&m_bStopRequested, TRUE);
	// A queue that another program has filled refuses the post. The worker
	// notices the flag within a poll and then empties its queue, so the post
	// is tried again until it is taken or the thread has ended; a waiting
	// owner never waits on a stop that was not delivered.
	BOOL bPosted = ::PostThreadMessageA(nThreadID, WM_WAITPROC_STOP, 1, 0);
	while (!bPosted && hEnded.IsCreated() && WaitForSingleObject(hEnded, WAITPROC_POLL_MS / 10) == WAIT_TIMEOUT)
		bPosted = ::PostThreadMessageA(nThreadID, WM_WAITPROC_STOP, 1, 0);
	// The worker that stops itself cannot wait for its own queue: it ends here.
	if (!bPosted && nThreadID == GetCurrentThreadId())
		OnWaitProcStop(1, 0);
	if (bPosted && hEnded.IsCreated())
		WaitForSingleObject(hEnded, INFINITE);
	return TRUE;
}

BOOL CWaitProcThread::NotifyFinished()
{
	UINT nMessage = m_bAltNotify ? WM_WAITPROC_DONE_ALT : WM_WAITPROC_DONE;
	// Any program can post a report naming this thread: the owner honours
	// one only once this is set.
	InterlockedExchange(&m_bReported, TRUE);
	BOOL bWindow = m_nNotifyType == notifyWindow && m_pNotifyWnd != NULL;
	if (!bWindow && (m_nNotifyType != notifyThread || m_pNotifyThread == NULL))
		return Stop(FALSE);
	// A queue that another program has filled refuses the post, and an owner
	// that never hears the report never stops us: try again until it is
	// taken, the owner has asked for the stop anyway, or the owner is gone.
	for (;;)
	{
		BOOL bPosted = bWindow ? PostMessageA(m_pNotifyWnd->m_hWnd, nMessage, 0, (LPARAM)m_nThreadID)
							   : ::PostThreadMessageA(m_pNotifyThread->m_nThreadID, nMessage, 0, (LPARAM)m_nThreadID);
		DWORD dwError = bPosted ? ERROR_SUCCESS : GetLastError();
		if (bPosted || m_bStopRequested || dwError == ERROR_INVALID_THREAD_ID || dwError == ERROR_INVALID_WINDOW_HANDLE)
			return TRUE;
		Sleep(WAITPROC_POLL_MS / 10);
	}
}

void CWaitProcThread::OnWaitProcStop(WPARAM wParam, LPARAM)
{
	// Any program on the desktop can post to this thread: only a stop that
	// Stop asked for ends it, or the owner would stop an object already gone.
	if (wParam != 1 || !m_bStopRequested)
		return;
	m_bAutoDelete = TRUE;
	ExitInstance();
}

int CWaitProcThread::ExitInstance()
{
	CloseWaitProcess();
	CloseCommandProcess();
	AfxEndThread(0, TRUE);
	return 0;
}
