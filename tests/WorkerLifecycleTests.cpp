// The worker's life with its owner: configuration, the report, the stop
// request and the end of its thread and object.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

namespace {

// A worker that counts its deletions.
class CCountedWorker : public CWaitProcThread
{
	DECLARE_DYNCREATE(CCountedWorker)
public:
	static LONG s_nDeleted;
	~CCountedWorker() { InterlockedIncrement(&s_nDeleted); }
};
LONG CCountedWorker::s_nDeleted;
IMPLEMENT_DYNCREATE(CCountedWorker, CWaitProcThread)

class WorkerTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		CCountedWorker::s_nDeleted = 0;
		kt::DropThreadMessages();
		m_owner.m_nThreadID = GetCurrentThreadId();
	}
	void TearDown() override
	{
		if (m_hThread != NULL)
			CloseHandle(m_hThread);
	}

	// A suspended worker with no wait configured; m_hThread keeps a handle of
	// its thread that outlives the object.
	CWaitProcThread* NewWorker()
	{
		CWaitProcThread* pWorker = static_cast<CWaitProcThread*>(AfxBeginThread(
			RUNTIME_CLASS(CCountedWorker), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
		if (pWorker != NULL)
			DuplicateHandle(GetCurrentProcess(), pWorker->m_hThread, GetCurrentProcess(), &m_hThread, 0,
				FALSE, DUPLICATE_SAME_ACCESS);
		return pWorker;
	}
	bool ThreadEnded(DWORD timeoutMs) { return WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0; }

	CWinThread m_owner;                 // stands for the application's main thread
	HANDLE m_hThread = NULL;
};

}  // namespace

TEST_F(WorkerTest, ReportsToItsOwnerThreadAndStopWaitsForItsEnd)
{
	CWaitProcThread* pWorker = NewWorker();
	ASSERT_NE(nullptr, pWorker);
	ASSERT_TRUE(pWorker->SetNotifyThread(&m_owner));
	DWORD nWorkerId = pWorker->m_nThreadID;
	pWorker->ResumeThread();

	MSG msg;
	ASSERT_TRUE(kt::WaitForThreadMessage(WM_WAITPROC_DONE, &msg, 20000));
	EXPECT_EQ(0u, msg.wParam);
	EXPECT_EQ((LPARAM)nWorkerId, msg.lParam);
	EXPECT_FALSE(ThreadEnded(300)) << "the worker must wait for its stop request";
	EXPECT_EQ(0, CCountedWorker::s_nDeleted);

	EXPECT_TRUE(pWorker->Stop(TRUE));
	EXPECT_TRUE(ThreadEnded(0)) << "Stop(TRUE) returned before the thread ended";
	EXPECT_EQ(1, CCountedWorker::s_nDeleted);
}

TEST_F(WorkerTest, WithoutNotifyTargetItStopsItself)
{
	for (int type : { 0, 2, 1, 7 })     // none; thread and window with NULL targets; unknown
	{
		SCOPED_TRACE(type);
		CCountedWorker::s_nDeleted = 0;
		if (m_hThread != NULL)
			CloseHandle(m_hThread);
		CWaitProcThread* pWorker = NewWorker();
		ASSERT_NE(nullptr, pWorker);
		pWorker->m_nNotifyType = type;
		pWorker->ResumeThread();
		ASSERT_TRUE(ThreadEnded(20000));
		EXPECT_EQ(1, CCountedWorker::s_nDeleted);
		MSG msg;
		EXPECT_FALSE(kt::WaitForThreadMessage(WM_WAITPROC_DONE, &msg, 200));
	}
}

TEST_F(WorkerTest, AltNotifyPostsTheAlternateMessage)
{
	CWaitProcThread* pWorker = NewWorker();
	ASSERT_NE(nullptr, pWorker);
	pWorker->SetNotifyThread(&m_owner);
	pWorker->m_bAltNotify = 5;          // any non-zero value
	DWORD nWorkerId = pWorker->m_nThreadID;
	pWorker->ResumeThread();
	MSG msg;
	ASSERT_TRUE(kt::WaitForThreadMessage(WM_WAITPROC_DONE_ALT, &msg, 20000));
	EXPECT_EQ(0x0403u, msg.message);
	EXPECT_EQ(0u, msg.wParam);
	EXPECT_EQ((LPARAM)nWorkerId, msg.lParam);
	EXPECT_FALSE(kt::WaitForThreadMessage(WM_WAITPROC_DONE, &msg, 100));
	pWorker->Stop(TRUE);
	EXPECT_EQ(1, CCountedWorker::s_nDeleted);
}

static UINT s_nWindowMessage;
static LPARAM s_lWindowParam;
static LRESULT CALLBACK RecordingWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	if (msg == WM_WAITPROC_DONE)
	{
		s_nWindowMessage = msg;
		s_lWindowParam = lParam;
		return 0;
	}
	return DefWindowProcA(hWnd, msg, wParam, lParam);
}

TEST_F(WorkerTest, NotifiesAWindow)
{
	WNDCLASSA wc = {};
	wc.lpfnWndProc = RecordingWndProc;
	wc.hInstance = GetModuleHandleA(NULL);
	wc.lpszClassName = "KtNotifyTarget";
	RegisterClassA(&wc);
	CWnd target;
	target.m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL,
		wc.hInstance, NULL);
	ASSERT_NE(nullptr, target.m_hWnd);
	s_nWindowMessage = 0;

	CWaitProcThread* pWorker = NewWorker();
	ASSERT_NE(nullptr, pWorker);
	pWorker->m_pNotifyWnd = &target;
	pWorker->m_nNotifyType = 1;
	DWORD nWorkerId = pWorker->m_nThreadID;
	pWorker->ResumeThread();
	EXPECT_TRUE(kt::PumpUntil([] { return s_nWindowMessage != 0; }, 20000));
	EXPECT_EQ((LPARAM)nWorkerId, s_lWindowParam);
	pWorker->Stop(TRUE);
	DestroyWindow(target.m_hWnd);
}

TEST_F(WorkerTest, StopMessageWithOtherWParamIsIgnored)
{
	CWaitProcThread* pWorker = NewWorker();
	ASSERT_NE(nullptr, pWorker);
	pWorker->SetNotifyThread(&m_owner);
	DWORD nWorkerId = pWorker->m_nThreadID;
	pWorker->ResumeThread();
	MSG msg;
	ASSERT_TRUE(kt::WaitForThreadMessage(WM_WAITPROC_DONE, &msg, 20000));
	for (WPARAM w : { 0, 2, -1 })
		PostThreadMessageA(nWorkerId, WM_WAITPROC_STOP, w, 0);
	EXPECT_FALSE(ThreadEnded(500));
	EXPECT_EQ(0, CCountedWorker::s_nDeleted);
	pWorker->Stop(TRUE);
	EXPECT_TRUE(ThreadEnded(0));
}

TEST_F(WorkerTest, SettersRefuseAndKeepTheConfiguration)
{
	CWaitProcThread worker;             // never started
	EXPECT_FALSE(worker.SetWaitCaption(NULL));
	EXPECT_FALSE(worker.SetWaitCaption(""));
	EXPECT_EQ(0, worker.m_nWaitType);
	EXPECT_TRUE(worker.SetWaitCaption("First"));
	EXPECT_FALSE(worker.SetWaitCaption("Second"));
	EXPECT_STREQ("First", (LPCSTR)worker.m_strCaption);
	EXPECT_EQ(2, worker.m_nWaitType);

	EXPECT_TRUE(worker.SetCommand("run.exe", TRUE));
	EXPECT_FALSE(worker.SetCommand(NULL, FALSE));
	EXPECT_STREQ("run.exe", (LPCSTR)worker.m_strCommand);
	EXPECT_TRUE(worker.m_bRunAlways);
	EXPECT_TRUE(worker.SetCommand("", FALSE));
	EXPECT_TRUE(worker.m_strCommand.IsEmpty());

	EXPECT_FALSE(worker.SetNotifyThread(NULL));
	EXPECT_EQ(0, worker.m_nNotifyType);
}

TEST_F(WorkerTest, ProcessHandlesAreClosedOnceAndKeptWhenTheCloseFails)
{
	CWaitProcThread worker;
	EXPECT_TRUE(worker.CloseWaitProcess());
	worker.m_hWaitProcess = OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId());
	ASSERT_NE(nullptr, worker.m_hWaitProcess);
	EXPECT_TRUE(worker.CloseWaitProcess());
	EXPECT_EQ(nullptr, worker.m_hWaitProcess);
	worker.m_hCommandProcess = (HANDLE)(ULONG_PTR)0x7ff0;    // not a handle: the close fails
	EXPECT_FALSE(worker.CloseCommandProcess());
	EXPECT_EQ((HANDLE)(ULONG_PTR)0x7ff0, worker.m_hCommandProcess);
	worker.m_hCommandProcess = NULL;
}
