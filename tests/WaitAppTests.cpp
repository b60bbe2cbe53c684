// The application object in this test program's thread: it lists the worker it
// starts, and its loop quits once the list is empty.
#include "TestSupport.h"
#include "app/WaitApp.h"
#include "waitproc/WaitProcThread.h"

// A NULL entry is skipped when a report is matched, and keeps the list from
// emptying: no quit is asked for. Then a report naming no listed worker or
// this one before it has reported, the alternate report and a quit that
// another program posts change nothing.
TEST(WaitAppTest, LoopEndsOnceTheListedWorkerHasReportedAndBeenStopped)
{
	kt::DropThreadMessages();
	CWaitApp app;
	ASSERT_EQ(GetCurrentThreadId(), app.m_nThreadID);
	app.m_arrWaitThreads.Add(NULL);
	ASSERT_TRUE(app.StartWaitThread(kt::UniqueName("KtNeverShown").c_str(), ""));
	CHandle hFirst(kt::Duplicate(static_cast<CWinThread*>(app.m_arrWaitThreads[1])->m_hThread));
	MSG report;
	ASSERT_TRUE(kt::WaitForThreadMessage(WM_WAITPROC_DONE, &report, 30000));
	EXPECT_TRUE(app.DispatchThreadMessage(report.message, report.wParam, report.lParam));
	EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hFirst, 0));
	ASSERT_EQ(1, app.m_arrWaitThreads.GetSize()) << "the reporting worker was not removed";
	EXPECT_EQ(nullptr, app.m_arrWaitThreads[0]);
	EXPECT_FALSE(PeekMessageA(&report, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "quit with a worker still listed";
	EXPECT_FALSE(app.m_bQuitPosted);

	app.m_arrWaitThreads.RemoveAll();
	ASSERT_TRUE(app.StartWaitThread(kt::UniqueName("KtNeverShown").c_str(), ""));
	ASSERT_EQ(1, app.m_arrWaitThreads.GetSize());
	CWaitProcThread* pWorker = static_cast<CWaitProcThread*>(app.m_arrWaitThreads[0]);
	CHandle hWorker(kt::Duplicate(pWorker->m_hThread));
	PostThreadMessageA(GetCurrentThreadId(), WM_WAITPROC_DONE, 0, (LPARAM)pWorker->m_nThreadID + 1);
	PostThreadMessageA(GetCurrentThreadId(), WM_WAITPROC_DONE, 0, (LPARAM)pWorker->m_nThreadID);
	PostThreadMessageA(GetCurrentThreadId(), WM_WAITPROC_DONE_ALT, 0, (LPARAM)pWorker->m_nThreadID);
	PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 5, 0);
	ULONGLONG start = GetTickCount64();
	EXPECT_EQ(0, app.Run());
	EXPECT_TRUE(kt::Within(GetTickCount64() - start, 3900, 15000)) << "the loop ends after the worker's 4 s wait";
	// A loop that ended early leaves the worker running: it is stopped, so
	// that this program does not end under it.
	EXPECT_TRUE(app.IsWaitListEmpty());
	if (!app.IsWaitListEmpty())
		pWorker->Stop(TRUE);
	EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hWorker, 0)) << "the worker thread still runs";
}
