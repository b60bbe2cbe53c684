#include "afxthread.h"

#include <process.h>

static DWORD s_dwTlsIndex = TLS_OUT_OF_INDEXES;

// The slot is allocated on first use, which may happen on any thread.
static DWORD ThreadSlot()
{
	if (s_dwTlsIndex == TLS_OUT_OF_INDEXES)
	{
		DWORD dwNew = TlsAlloc();
		if (InterlockedCompareExchange((LONG volatile*)&s_dwTlsIndex, (LONG)dwNew,
				(LONG)TLS_OUT_OF_INDEXES) != (LONG)TLS_OUT_OF_INDEXES)
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
	: m_bAutoDelete(TRUE), m_hThread(NULL), m_nThreadID(0), m_pMainWnd(NULL),
	  m_hStartReady(NULL), m_hStartGo(NULL), m_bDiscarded(FALSE)
{
	ZeroMemory(&m_msgCur, sizeof(m_msgCur));
}

CWinThread::~CWinThread()
{
	if (m_hThread != NULL)
		CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
	CWinThread* pThread = (CWinThread*)pParam;
	AfxSetThreadObject(pThread);

	// The queue exists before the creator learns that the thread is ready, so
	// messages posted to the thread from then on are kept.
	MSG msg;
	PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_NOREMOVE);
	HANDLE hGo = pThread->m_hStartGo;
	SetEvent(pThread->m_hStartReady);
	WaitForSingleObject(hGo, INFINITE);
	CloseHandle(hGo);

	if (pThread->m_bDiscarded)
	{
		AfxSetThreadObject(NULL);
		return 0;
	}
	int nResult = pThread->InitInstance() ? pThread->Run() : pThread->ExitInstance();
	AfxEndThread((UINT)nResult, TRUE);
	return 0;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
	LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
	m_hStartReady = CreateEventA(NULL, TRUE, FALSE, NULL);
	m_hStartGo = CreateEventA(NULL, TRUE, FALSE, NULL);
	unsigned nThreadID = 0;
	HANDLE hThread = NULL;
	if (m_hStartReady != NULL && m_hStartGo != NULL)
		hThread = (HANDLE)_beginthreadex(lpSecurityAttrs, nStackSize, &ThreadEntry, this,
			CREATE_SUSPENDED, &nThreadID);
	if (hThread == NULL)
	{
		if (m_hStartReady != NULL)
			CloseHandle(m_hStartReady);
		if (m_hStartGo != NULL)
			CloseHandle(m_hStartGo);
		m_hStartReady = m_hStartGo = NULL;
		return FALSE;
	}
	m_hThread = hThread;
	m_nThreadID = nThreadID;

	::ResumeThread(hThread);
	WaitForSingleObject(m_hStartReady, INFINITE);
	CloseHandle(m_hStartReady);
	m_hStartReady = NULL;
	// Suspending before the go signal holds the thread before InitInstance
	// until the owner resumes it.
	if (dwCreateFlags & CREATE_SUSPENDED)
		::SuspendThread(hThread);
	HANDLE hGo = m_hStartGo;
	m_hStartGo = NULL;
	SetEvent(hGo);                      // the thread closes it
	return TRUE;
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
			break;
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

CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize,
	DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs)
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
	if (!(dwCreateFlags & CREATE_SUSPENDED))
		pThread->ResumeThread();
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
	InterlockedExchange(&pThread->m_bDiscarded, TRUE);
	// The suspend count is 1 while the thread is held; resume until it runs.
	DWORD dwPrevious;
	do
		dwPrevious = ::ResumeThread(pThread->m_hThread);
	while (dwPrevious != (DWORD)-1 && dwPrevious > 1);
	WaitForSingleObject(pThread->m_hThread, INFINITE);
	delete pThread;
}

void AfxPostQuitMessage(int nCode)
{
	PostQuitMessage(nCode);
}
