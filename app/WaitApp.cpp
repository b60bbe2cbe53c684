#include "WaitApp.h"

#include <stdlib.h>

#include "../waitproc/WaitProcThread.h"
#include "Relaunch.h"

BEGIN_MESSAGE_MAP(CWaitApp, CWinApp)
	ON_THREAD_MESSAGE(WM_WAITPROC_DONE, CWaitApp::OnWaitProcDone)
END_MESSAGE_MAP()

CWaitApp::CWaitApp() : CWinApp(NULL)
{
}

CWaitApp::~CWaitApp()
{
	m_arrWaitThreads.RemoveAll();
}

BOOL CWaitApp::InitInstance()
{
	// A caption or command that lost text to exhausted memory is never acted on.
	CAllocFailureWatch watch;
	CWaitOptions options;
	ParseWaitOptions(__argc, __argv, options);
	if (!options.bCaptionGiven || !options.bNextGiven || watch.HasFailed())
		return FALSE;
	if (options.bRelaunch)
		return RelaunchWaiter(options);
	return StartWaitThread(
		options.strCaption, options.strNext, options.strRebootFlag, &options.astrKnownCommands, options.bRunAlways);
}

BOOL CWaitApp::StartWaitThread(
	LPCSTR lpszCaption, LPCSTR lpszCommand, LPCSTR lpszRebootFlag, const CStringArray* pKnownCommands, BOOL bRunAlways)
{
	if (lpszCaption == NULL)
		return FALSE;
	CWaitProcThread* pThread = static_cast<CWaitProcThread*>(
		AfxBeginThread(RUNTIME_CLASS(CWaitProcThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, NULL));
	if (pThread == NULL)
		return FALSE;

	CAllocFailureWatch watch;
	BOOL bConfigured = pThread->SetWaitCaption(lpszCaption) && pThread->SetNotifyThread(this);
	pThread->SetCommand(lpszCommand, bRunAlways);
	pThread->m_strRebootFlag = lpszRebootFlag;
	for (int i = 0; pKnownCommands != NULL && i < pKnownCommands->GetSize(); ++i)
		pThread->m_astrKnownCommands.Add((*pKnownCommands)[i]);
	bConfigured = bConfigured && !watch.HasFailed();
	// Listed before it can run, so that its report always finds it.
	int nIndex = bConfigured ? m_arrWaitThreads.Add(pThread) : -1;
	BOOL bStarted = nIndex >= 0 && pThread->ResumeThread() != (DWORD)-1;
	if (!bStarted)
	{
		if (nIndex >= 0)
			m_arrWaitThreads.RemoveAt(nIndex);
		AfxDiscardThread(pThread);
	}
	return bStarted;
}

BOOL CWaitApp::IsWaitListEmpty()
{
	return m_arrWaitThreads.GetSize() <= 0;
}

int CWaitApp::Run()
{
	// The list alone decides when to quit; there is never a main window.
	if (IsWaitListEmpty())
		AfxPostQuitMessage(0);
	return CWinThread::Run();
}

void CWaitApp::OnWaitProcDone(WPARAM, LPARAM lParam)
{
	for (int i = 0; i < m_arrWaitThreads.GetSize(); ++i)
	{
		CWaitProcThread* pThread = static_cast<CWaitProcThread*>(m_arrWaitThreads[i]);
		// A report posted by another program before the worker's own is ignored.
		if (pThread != NULL && pThread->m_nThreadID == (DWORD)lParam
			&& InterlockedCompareExchange(&pThread->m_bReported, 0, 0))
		{
			pThread->Stop(TRUE); // the worker is deleted when this returns
			m_arrWaitThreads.RemoveAt(i);
			break;
		}
	}
	if (IsWaitListEmpty())
		AfxPostQuitMessage(0);
}
