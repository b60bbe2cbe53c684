#include "afxthread.h"

#include <process.h>

static DWORD s_dwTlsIndex = TLS_OUT_OF_INDEXES;

// The slot is allocated on first use, which may happen on any thread.
static DWORD ThreadSlot()
{
	if (s_dwTlsIndex == TLS_OUT_OF_INDEXES)
	{
		DWORD dwNew = TlsAlloc();
		if (InterlockedCompareExchange((LONG volatile*)&s_dwTlsIndex, (LONG)dwNew, (LONG)TLS_OUT_OF_INDEXES)
			!= (LONG)TLS_OUT_OF_INDEXES)
			TlsFree(dwNew);
	}
	return s_dwTlsIndex;
}

void AfxSetThreadObject(CWinThread* pThread)
{
	TlsSetValue(ThreadSlot(), pThread);
}

CWinThread* AfxGetThread()
{
	return (CWinThread*)TlsGetValue(ThreadSlot());
}

CWinThread::CWinThread()
	: m_bAutoDelete(TRUE), m_hThread(NULL), m_nThreadID(0), m_pMainWnd(NULL), m_bQuitPosted(FALSE), m_nQuitCode(0),
	  m_hStartReady(NULL), m_bDiscarded(FALSE)
{
	ZeroMemory(&m_msgCur, sizeof(m_msgCur));
}

CWinThread::~CWinThread()
{
	CHandle::Close(m_hThread);
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
	CWinThread* pThread = (CWinThread*)pParam;
	AfxSetThreadObject(pThread);

	// The queue exists before the creator learns that the thread is ready, so
	// messages posted to the thread from then on are kept.
	MSG msg;
	PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_NOREMOVE);
	SetEvent(pThread->m_hStartReady);
	WaitForSingleObject(pThread->m_hStartGo, INFINITE);

	if (pThread->m_bDiscarded)
	{
		AfxSetThreadObject(NULL);
		return 0;
	}
	int nResult = pThread->InitInstance() ? pThread->Run() : pThread->ExitInstance();
	AfxEndThread((UINT)nResult, TRUE);
	return 0;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
	CHandle hReady(CreateEventA(NULL, TRUE, FALSE, NULL));
	m_hStartGo.Attach(CreateEventA(NULL, TRUE, FALSE, NULL));
	unsigned nThreadID = 0;
	if (hReady.IsCreated() && m_hStartGo.IsCreated())
	{
		m_hStartReady = hReady;
		m_hThread =
			(HANDLE)_beginthreadex(lpSecurityAttrs, nStackSize, &ThreadEntry, this, CREATE_SUSPENDED, &nThreadID);
	}
	if (m_hThread == NULL)
		return FALSE;
	m_nThreadID = nThreadID;

	// Every failure from here on ends the new thread before InitInstance: a
	// half-configured object must never run.
	BOOL bStarted = DuplicateHandle(
		GetCurrentProcess(), m_hThread, GetCurrentProcess(), m_hEndWait.Receive(), SYNCHRONIZE, FALSE, 0);
	if (bStarted && ::ResumeThread(m_hThread) != (DWORD)-1)
	{
		// A thread that ends instead of reporting ready must not hold us up.
		HANDLE ahStart[2] = { hReady, m_hThread };
		bStarted = WaitForMultipleObjects(2, ahStart, FALSE, INFINITE) == WAIT_OBJECT_0;
		// Suspending before the go signal holds the thread before InitInstance
		// until the owner resumes it.
		if (bStarted && (dwCreateFlags & CREATE_SUSPENDED))
			bStarted = ::SuspendThread(m_hThread) != (DWORD)-1;
	}
	else
		bStarted = FALSE;

	if (bStarted)
		SetEvent(m_hStartGo);
	else
	{
		EndUnstarted();
		CHandle::Close(m_hThread);
		m_hEndWait.Close();
		m_nThreadID = 0;
	}
	m_hStartReady = NULL;
	return bStarted;
}

void CWinThread::EndUnstarted()
{
	InterlockedExchange(&m_bDiscarded, TRUE);
	SetEvent(m_hStartGo);
	// The suspend count is 1 while the thread is held; resume until it runs.
	DWORD dwPrevious;
	do
		dwPrevious = ::ResumeThread(m_hThread);
	while (dwPrevious != (DWORD)-1 && dwPrevious > 1);
	// One that cannot be resumed is held before InitInstance, between two
	// system calls of the framework (or before its first instruction), where
	// ending it leaves nothing behind but its stack.
	if (dwPrevious == (DWORD)-1 && WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT)
		TerminateThread(m_hThread, 0);
	WaitForSingleObject(m_hThread, INFINITE);
}

BOOL CWinThread::InitInstance()
{
	return FALSE;
}

int CWinThread::Run()
{
	for (;;)
	{
		BOOL bRet = GetMessageA(&m_msgCur, NULL, 0, 0);
		if (bRet == -1)
		{
			ZeroMemory(&m_msgCur, sizeof(m_msgCur));
			break;
		}
		if (!bRet)
		{
			// Any program can post WM_QUIT to this thread: only our own ends the
			// loop, with our own code, or the process would end mid-wait.
			if (!m_bQuitPosted)
				continue;
			m_msgCur.wParam = (WPARAM)m_nQuitCode;
			break;
		}
		if (m_msgCur.hwnd == NULL)
		{
			DispatchThreadMessage(m_msgCur.message, m_msgCur.wParam, m_msgCur.lParam);
			continue;
		}
		TranslateMessage(&m_msgCur);
		DispatchMessageA(&m_msgCur);
	}
	return ExitInstance();
}

int CWinThread::ExitInstance()
{
	return (int)m_msgCur.wParam;
}

void CWinThread::Delete()
{
	if (m_bAutoDelete)
		delete this;
}

CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
	LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
	if (pThreadClass == NULL)
		return NULL;
	CWinThread* pThread = static_cast<CWinThread*>(pThreadClass->CreateObject());
	if (pThread == NULL)
		return NULL;
	if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
	{
		delete pThread;
		return NULL;
	}
	SetThreadPriority(pThread->m_hThread, nPriority);
	if (!(dwCreateFlags & CREATE_SUSPENDED) && pThread->ResumeThread() == (DWORD)-1)
	{
		AfxDiscardThread(pThread);
		pThread = NULL;
	}
	return pThread;
}

void AfxEndThread(UINT nExitCode, BOOL bDelete)
{
	CWinThread* pThread = AfxGetThread();
	if (pThread != NULL && bDelete)
		pThread->Delete();
	AfxSetThreadObject(NULL);
	_endthreadex(nExitCode);
}

void AfxDiscardThread(CWinThread* pThread)
{
	if (pThread == NULL)
		return;
	pThread->EndUnstarted();
	delete pThread;
}

void AfxPostQuitMessage(int nCode)
{
	CWinThread* pThread = AfxGetThread();
	if (pThread != NULL)
	{
		pThread->m_nQuitCode = nCode;
		pThread->m_bQuitPosted = TRUE;
	}
	PostQuitMessage(nCode);
}
