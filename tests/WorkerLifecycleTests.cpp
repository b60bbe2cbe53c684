// The worker's life with its owner: configuration, the report, the stop
// request and the end of its thread and object.
#include "WorkerFixture.h"

#include <thread>

// Answers WM_KT_ECHO to its owner as a report: a sign that every message
// posted to it before has been handled.
#define WM_KT_ECHO (WM_USER + 50)
class CCountedWorker : public CWaitProcThread
{
	DECLARE_DYNCREATE(CCountedWorker)
public:
	static inline LONG s_nDeleted;
	CCountedWorker() { s_nDeleted = 0; }
	~CCountedWorker() { InterlockedIncrement(&s_nDeleted); }
	void OnEcho(WPARAM, LPARAM) { ::PostThreadMessageA(m_pNotifyThread->m_nThreadID, WM_KT_ECHO, 0, m_nThreadID); }
	DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CCountedWorker, CWaitProcThread)
BEGIN_MESSAGE_MAP(CCountedWorker, CWaitProcThread)
	ON_THREAD_MESSAGE(WM_KT_ECHO, CCountedWorker::OnEcho)
END_MESSAGE_MAP()

// Windows refuses a post to a queue holding 10,000 messages (another program
// can fill it); Wine has no such limit, so posts of s_nRefused are refused here.
static volatile LONG s_nRefusals;
static UINT s_nRefused = WM_WAITPROC_STOP;
static const auto RefusePost = [](BOOL*, DWORD, UINT message, WPARAM, LPARAM)
{
	const bool refused = message == s_nRefused && InterlockedDecrement(&s_nRefusals) >= 0;
	SetLastError(refused ? ERROR_NOT_ENOUGH_QUOTA : GetLastError());
	return refused;
};

using WorkerTest = WorkerFixture;

// The report to a window waits in its queue, for the test to take. Without a
// target the worker stops itself, also when its own queue refuses the stop:
// it then ends at once.
TEST_F(WorkerTest, NotifiesAWindowOrWithoutATargetStopsItself)
{
	CWnd target;
	target.m_hWnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
	ASSERT_NE(nullptr, target.m_hWnd);
	// The type and its window: a window; none; thread and window with NULL
	// targets; unknown; none, with every stop post refused (-1).
	const std::pair<int, CWnd*> targets[] = { { CWaitProcThread::notifyWindow, &target }, { 0, NULL }, { 2, NULL },
		{ 1, NULL }, { 7, NULL }, { -1, NULL } };
	for (const auto& [type, pWnd] : targets)
	{
		SCOPED_TRACE(type);
		ASSERT_TRUE(NewWorker("", "", RUNTIME_CLASS(CCountedWorker)));
		m_pWorker->m_pNotifyThread = NULL;
		m_pWorker->m_pNotifyWnd = pWnd;
		m_pWorker->m_nNotifyType = std::max(type, 0);
		s_nRefusals = type < 0 ? 1000 : 0;
		KT_STAND_IN(patch, "USER32.dll", PostThreadMessageA, RefusePost);
		Resume();
		MSG msg = {};
		for (ULONGLONG end = GetTickCount64() + (pWnd ? 20000 : 0);
			 !PeekMessageA(&msg, target.m_hWnd, WM_WAITPROC_DONE, WM_WAITPROC_DONE, PM_REMOVE)
			 && GetTickCount64() < end;)
			Sleep(20);
		EXPECT_EQ(pWnd ? (LPARAM)m_nWorkerId : 0, msg.lParam) << "the window's report";
		EXPECT_TRUE(!pWnd || StopAfterReport());
		ASSERT_TRUE(ThreadEnded(20000));
		EXPECT_EQ(1, CCountedWorker::s_nDeleted);
		EXPECT_FALSE(WaitDone(200));
	}
	DestroyWindow(target.m_hWnd);
}

// The worker reports to its owner (the alternate message for any non-zero
// value) and waits for its stop: any program can post to its thread, but only
// its owner's Stop ends it. A refused report or stop post is made again.
TEST_F(WorkerTest, ReportsAndEndsOnlyOnItsOwnersStop)
{
	for (BOOL alt : { FALSE, 5 })
	{
		SCOPED_TRACE(alt);
		ASSERT_TRUE(NewWorker("", "", RUNTIME_CLASS(CCountedWorker)));
		m_pWorker->m_bAltNotify = alt;
		KT_STAND_IN(patch, "USER32.dll", PostThreadMessageA, RefusePost);
		s_nRefused = alt ? WM_WAITPROC_DONE_ALT : WM_WAITPROC_DONE;
		s_nRefusals = 20;
		PostThreadMessageA(m_nWorkerId, WM_WAITPROC_STOP, 1, 0); // taken once the procedure is over
		Resume();
		ASSERT_TRUE(WaitDone(20000, s_nRefused)) << "20 refused reports";
		s_nRefused = WM_WAITPROC_STOP;
		for (WPARAM w : { 0, 2, -1, 1 })
			PostThreadMessageA(m_nWorkerId, WM_WAITPROC_STOP, w, 0);
		PostThreadMessageA(m_nWorkerId, WM_KT_ECHO, 0, 0);
		ASSERT_TRUE(WaitDone(10000, WM_KT_ECHO)) << "the worker ended before its owner stopped it";
		EXPECT_EQ(0, CCountedWorker::s_nDeleted);
		s_nRefusals = alt ? 20 : 0;
		// A stop that is never delivered would hold this thread for good.
		std::thread stopper([this] { m_pWorker->Stop(TRUE); });
		const bool ended = ThreadEnded(10000);
		ended ? stopper.join() : stopper.detach();
		ASSERT_TRUE(ended) << "Stop(TRUE) with " << (alt ? 20 : 0) << " refused posts did not end the worker in 10 s";
		EXPECT_EQ(1, CCountedWorker::s_nDeleted);
		EXPECT_FALSE(WaitDone(0, alt ? WM_WAITPROC_DONE : WM_WAITPROC_DONE_ALT)) << "the other report as well";
	}
}
