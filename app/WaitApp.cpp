#include "WaitApp.h"

#include <stdlib.h>

#include "../waitproc/WaitProcThread.h"
#include "Relaunch.h"

BEGIN_MESSAGE_MAP(CWaitApp, CWinApp)
	ON_THREAD_MESSAGE(WM_WAITPROC_DONE, CWaitApp::OnWaitProcDone)
END_MESSAGE_MAP()

CWaitApp::CWaitApp() : CWinApp(NULL), m_bExitCode(FALSE), m_nExitCode(0)
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
	AfxOpenLog(options.extras.strLog);
	AfxLog("started: %s", GetCommandLineA());
	if (!options.strIgnoredTimeout.IsEmpty())
	{
		WriteDebugLine("IGNORED", options.strIgnoredTimeout);
		AfxLog("timeout ignored, not a whole number of seconds from 0 to %d: %s", CMDLINE_MAX_APPEAR_SECONDS,
			(LPCSTR)options.strIgnoredTimeout);
	}
	m_bExitCode = options.extras.bExitCode;
	BOOL bStarted = FALSE;
	if (!options.bCaptionGiven || !options.bNextGiven || watch.HasFailed())
		SetExitCode(WAITPROC_EXIT_USAGE);
	else if (options.bRelaunch)
		bStarted = RelaunchWaiter(options);
	else
		bStarted = StartWaitThread(options.strCaption, options.strNext, options.strRebootFlag,
			&options.astrKnownCommands, options.bRunAlways, &options.extras);
	if (!bStarted && m_nExitCode == 0)
		SetExitCode(WAITPROC_EXIT_NOT_STARTED);
	return bStarted && !options.bRelaunch;
}

void CWaitApp::SetExitCode(DWORD dwExitCode)
{
	if (m_bExitCode)
		m_nExitCode = (int)dwExitCode;
}

int CWaitApp::ExitInstance()
{
	AfxLog("exit code %d", m_nExitCode);
	return m_nExitCode;
}

BOOL CWaitApp::StartWaitThread(LPCSTR lpszCaption, LPCSTR lpszCommand, LPCSTR lpszRebootFlag,
	const CStringArray* pKnownCommands, BOOL bRunAlways, const CWaitExtras* pExtras)
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
	if (pExtras != NULL)
		pThread->m_extras = *pExtras;
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
			SetExitCode(pThread->m_dwExitCode);
			pThread->Stop(TRUE); // the worker is deleted when this returns
			m_arrWaitThreads.RemoveAt(i);
			break;
		}
	}
	if (IsWaitListEmpty())
		AfxPostQuitMessage(0);
}
