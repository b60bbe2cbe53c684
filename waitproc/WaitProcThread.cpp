// The worker object: configuration, handle closing, stop and notify.
#include "WaitProcThread.h"

IMPLEMENT_DYNCREATE(CWaitProcThread, CWinThread)

BEGIN_MESSAGE_MAP(CWaitProcThread, CWinThread)
	ON_THREAD_MESSAGE(WM_WAITPROC_STOP, CWaitProcThread::OnWaitProcStop)
END_MESSAGE_MAP()

CWaitProcThread::CWaitProcThread()
	: m_pNotifyWnd(NULL), m_pNotifyThread(NULL), m_nNotifyType(0), m_bRunAlways(FALSE),
	  m_bAltNotify(FALSE), m_bNoImmediateRun(FALSE), m_hWaitProcess(NULL),
	  m_hCommandProcess(NULL), m_nWaitType(0), m_bCaptionSeen(FALSE), m_bStopRequested(FALSE),
	  m_nState(0)
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
	m_nWaitType = 2;
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
	m_nNotifyType = 2;
	return TRUE;
}

// A handle field becomes NULL only once its handle has been closed.
static BOOL CloseHandleField(HANDLE& hField)
{
	if (hField == NULL)
		return TRUE;
	if (!CloseHandle(hField))
		return FALSE;
	hField = NULL;
	return TRUE;
}

BOOL CWaitProcThread::CloseWaitProcess()
{
	return CloseHandleField(m_hWaitProcess);
}

BOOL CWaitProcThread::CloseCommandProcess()
{
	return CloseHandleField(m_hCommandProcess);
}

BOOL CWaitProcThread::Stop(BOOL bWait)
{
	// The worker may delete itself, and close m_hThread, as soon as the message
	// is posted: take the id and a handle of our own first, and touch the
	// object no more after posting.
	DWORD nThreadID = m_nThreadID;
	HANDLE hWait = NULL;
	if (bWait && !DuplicateHandle(GetCurrentProcess(), m_hThread, GetCurrentProcess(), &hWait,
			SYNCHRONIZE, FALSE, 0))
		hWait = OpenThread(SYNCHRONIZE, FALSE, nThreadID);
	InterlockedExchange(&m_bStopRequested, TRUE);
	::PostThreadMessageA(nThreadID, WM_WAITPROC_STOP, 1, 0);
	if (hWait != NULL)
	{
		WaitForSingleObject(hWait, INFINITE);
		CloseHandle(hWait);
	}
	return TRUE;
}

BOOL CWaitProcThread::NotifyFinished()
{
	UINT nMessage = m_bAltNotify ? WM_WAITPROC_DONE_ALT : WM_WAITPROC_DONE;
	if (m_nNotifyType == 1 && m_pNotifyWnd != NULL)
		PostMessageA(m_pNotifyWnd->m_hWnd, nMessage, 0, (LPARAM)m_nThreadID);
	else if (m_nNotifyType == 2 && m_pNotifyThread != NULL)
		::PostThreadMessageA(m_pNotifyThread->m_nThreadID, nMessage, 0, (LPARAM)m_nThreadID);
	else
		Stop(FALSE);
	return TRUE;
}

void CWaitProcThread::OnWaitProcStop(WPARAM wParam, LPARAM)
{
	if (wParam != 1)
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
