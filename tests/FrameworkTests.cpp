// The framework layer: strings, arrays, threads created suspended, message
// maps that dispatch thread messages by number, and the quit code.
#include "TestSupport.h"
#include "afx/afx.h"

TEST(CollectionTest, StringsGrowAndSliceArraysRemoveAndShift)
{
	CString s("abc");
	s += s; // appending to itself while it grows
	s += 'd';
	s = s + "|" + s;
	EXPECT_EQ(15, s.GetLength());
	const std::pair<CString, const char*> texts[] = { { s, "abcabcd|abcabcd" }, { s.Left(3), "abc" },
		{ s.Left(-1), "" }, { s.Mid(6), "d|abcabcd" }, { s.Mid(6, 3), "d|a" }, { s.Mid(99), "" } };
	for (const auto& [text, expected] : texts)
		EXPECT_STREQ(expected, (LPCSTR)text);
	EXPECT_EQ(7, s.Find("|"));
	EXPECT_EQ(6, s.Find('d'));
	EXPECT_EQ(-1, s.Find("xyz"));

	CObArray arr;
	for (CObject* p : { (CObject*)0x10, (CObject*)nullptr, (CObject*)0x30 })
		arr.Add(p);
	for (int i = 0; i < 100; ++i)
		arr.Add((CObject*)0x40);
	arr.RemoveAt(3, 100);
	ASSERT_EQ(3, arr.GetSize());
	arr.RemoveAt(0);
	ASSERT_EQ(2, arr.GetSize());
	EXPECT_EQ(nullptr, arr[0]);
	EXPECT_EQ((CObject*)0x30, arr[1]);
	arr.RemoveAt(5); // out of range: nothing happens
	EXPECT_EQ(2, arr.GetSize());
	CStringArray strs;
	kt::FailAllocation(1); // growth comes from the framework's heap: a failure adds nothing
	EXPECT_EQ(-1, strs.Add("x"));
	kt::FailAllocation(0);
	for (int i = 0; i < 50; ++i)
		strs.Add(std::to_string(i).c_str());
	EXPECT_STREQ("49", (LPCSTR)strs[49]);
	EXPECT_STREQ("0", (LPCSTR)strs.GetAt(0));
}

constexpr UINT WM_PROBE_BASE = WM_USER + 10, WM_PROBE_OWN = WM_USER + 11, WM_PROBE_QUIT = WM_USER + 12;

// A base and a derived thread class whose maps each handle one message.
class CProbeBase : public CWinThread
{
public:
	static inline LONG s_nBase;
	void OnBase(WPARAM wParam, LPARAM lParam) { s_nBase += (LONG)(wParam + lParam); }
	DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeBase, CWinThread)
	ON_THREAD_MESSAGE(WM_PROBE_BASE, CProbeBase::OnBase)
END_MESSAGE_MAP()

class CProbeThread : public CProbeBase
{
	DECLARE_DYNCREATE(CProbeThread)
public:
	static inline LONG s_nInit, s_nDeleted, s_nOwn;
	static void Reset() { s_nBase = s_nInit = s_nDeleted = s_nOwn = 0; }
	~CProbeThread() { InterlockedIncrement(&s_nDeleted); }
	BOOL InitInstance() override { return InterlockedIncrement(&s_nInit) > 0; }
	void OnOwn(WPARAM wParam, LPARAM) { s_nOwn += (LONG)wParam; }
	void OnQuit(WPARAM wParam, LPARAM) { AfxPostQuitMessage((int)wParam); }
	DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(CProbeThread, CProbeBase)
BEGIN_MESSAGE_MAP(CProbeThread, CProbeBase)
	ON_THREAD_MESSAGE(WM_PROBE_OWN, CProbeThread::OnOwn)
	ON_THREAD_MESSAGE(WM_PROBE_QUIT, CProbeThread::OnQuit)
END_MESSAGE_MAP()

TEST(ThreadTest, SuspendedThreadQueuesMessagesAndRunsThemThroughTheMapChain)
{
	CProbeThread::Reset();
	CWinThread* pThread = AfxBeginThread(RUNTIME_CLASS(CProbeThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
	ASSERT_NE(nullptr, pThread);
	CHandle hThread(kt::Duplicate(pThread->m_hThread));
	// The queue exists before the owner resumes the thread: nothing is lost.
	EXPECT_TRUE(pThread->PostThreadMessage(WM_PROBE_OWN, 5, 0));
	EXPECT_TRUE(pThread->PostThreadMessage(WM_PROBE_BASE, 2, 3));
	EXPECT_TRUE(pThread->PostThreadMessage(WM_USER + 99, 0, 0)); // no entry: dropped
	EXPECT_TRUE(pThread->PostThreadMessage(WM_PROBE_QUIT, 7, 0));
	EXPECT_EQ(1u, SuspendThread(hThread)) << "the thread is not held by the one suspension";
	ResumeThread(hThread);
	EXPECT_EQ(0, CProbeThread::s_nInit) << "InitInstance ran before the thread was resumed";
	pThread->ResumeThread();

	ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 10000));
	DWORD code = 0;
	GetExitCodeThread(hThread, &code);
	EXPECT_EQ(1, CProbeThread::s_nInit);
	EXPECT_EQ(5, CProbeThread::s_nOwn);
	EXPECT_EQ(5, CProbeBase::s_nBase);
	EXPECT_EQ(7u, code) << "Run returns ExitInstance, the quit request's code";
	EXPECT_EQ(1, CProbeThread::s_nDeleted) << "m_bAutoDelete deletes the object at the end";

	// The object comes from the framework's heap: exhausted memory refuses the start.
	kt::FailAllocation(1);
	EXPECT_EQ(nullptr, AfxBeginThread(RUNTIME_CLASS(CProbeThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
	kt::FailAllocation(0);
}

// Start-up with one system call failing: the framework's own calls go through
// this program's import table, where the failing stand-in is put.
static int s_failAt, s_calls; // the call that fails (0: every call), and the calls so far
static DWORD s_threadId;      // the thread handed to the failing call, or that ran it
static void* s_original;

struct Failing
{
	static DWORD ThreadOf(HANDLE h) { return GetThreadId(h); }
	template <typename T> static DWORD ThreadOf(T) { return 0; }
	// The stand-in for a call that returns failed when it fails; it calls on
	// when it does not, and notes the thread of a thread handle it is given.
	template <auto failed, typename... Args> static decltype(failed) WINAPI Call(Args... args)
	{
		for (DWORD id : { ThreadOf(args)... })
			s_threadId = id != 0 ? id : s_threadId;
		if (s_failAt != 0 && ++s_calls != s_failAt)
			return ((decltype(failed)(WINAPI*)(Args...))s_original)(args...);
		SetLastError(ERROR_ACCESS_DENIED);
		return failed;
	}
};
static uintptr_t __cdecl FailingBeginThread(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*)
{
	++s_calls;
	SetLastError(ERROR_ACCESS_DENIED);
	return 0;
}
// The new thread's first call: it ends there, before it is ready.
static BOOL WINAPI EndingPeekMessage(LPMSG, HWND, UINT, UINT, UINT)
{
	s_threadId = GetCurrentThreadId();
	ExitThread(0);
}

// Starts a CProbeThread into *p with its creation flags, or discards the one *p
// holds, on a thread of its own: a start-up that waits for good shows as a failed wait.
static DWORD WINAPI StartOrDiscard(LPVOID p)
{
	auto& [pThread, createFlags] = *(std::pair<CWinThread*, DWORD>*)p;
	if (pThread != nullptr)
		AfxDiscardThread(pThread);
	else
		pThread = AfxBeginThread(RUNTIME_CLASS(CProbeThread), THREAD_PRIORITY_NORMAL, 0, createFlags);
	return 0;
}

// A discarded thread never runs InitInstance either.
TEST(ThreadTest, EveryFailedStartUpCallRefusesTheStartWithNoThreadLeft)
{
	void* const resume = (void*)&Failing::Call<(DWORD)-1, HANDLE>;
	void* const duplicate = (void*)&Failing::Call<FALSE, HANDLE, HANDLE, HANDLE, LPHANDLE, DWORD, BOOL, DWORD>;
	void* const createEvent = (void*)&Failing::Call<(HANDLE) nullptr, LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR>;
	// Module and function, stand-in, the call that fails (0: every call), the
	// creation flags, and whether the failure comes in AfxDiscardThread after a good start.
	const std::tuple<const char*, const char*, void*, int, DWORD, bool> faults[] = {
		{ "KERNEL32.dll", "ResumeThread", resume, 1, CREATE_SUSPENDED, false },       // the thread never ran
		{ "KERNEL32.dll", "DuplicateHandle", duplicate, 1, CREATE_SUSPENDED, false }, // no end handle
		{ "KERNEL32.dll", "SuspendThread", resume, 1, CREATE_SUSPENDED, false }, // would run InitInstance unconfigured
		{ "KERNEL32.dll", "ResumeThread", resume, 2, 0, false },                 // held before InitInstance for good
		{ "KERNEL32.dll", "ResumeThread", resume, 0, CREATE_SUSPENDED, true },   // a discard that cannot resume it
		{ "KERNEL32.dll", "ResumeThread", resume, 99, CREATE_SUSPENDED, true },  // a discard where nothing fails
		{ "KERNEL32.dll", "CreateEventA", createEvent, 1, CREATE_SUSPENDED, false },                // no ready event
		{ "KERNEL32.dll", "CreateEventA", createEvent, 2, CREATE_SUSPENDED, false },                // no go event
		{ "msvcrt.dll", "_beginthreadex", (void*)&FailingBeginThread, 1, CREATE_SUSPENDED, false }, // no thread
		{ "USER32.dll", "PeekMessageA", (void*)&EndingPeekMessage, 0, CREATE_SUSPENDED, false },    // ends before ready
	};
	for (const auto& [module, function, replacement, failAt, createFlags, discard] : faults)
	{
		SCOPED_TRACE(std::string(function) + " call " + std::to_string(failAt));
		CProbeThread::Reset();
		s_failAt = failAt, s_calls = 0, s_threadId = 0;
		CWinThread* pThread =
			discard ? AfxBeginThread(RUNTIME_CLASS(CProbeThread), THREAD_PRIORITY_NORMAL, 0, createFlags) : nullptr;
		ASSERT_EQ(discard, pThread != nullptr);
		const size_t threadsBefore = kt::ThreadsOf(GetCurrentProcessId()).size();
		{
			kt::ImportPatch patch(module, function, replacement, &s_original);
			ASSERT_TRUE(patch.IsApplied());
			std::pair<CWinThread*, DWORD> start(pThread, createFlags);
			CHandle hStarter(CreateThread(NULL, 0, &StartOrDiscard, &start, 0, NULL));
			ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hStarter, 20000)) << "the start-up still waits after 20 s";
			EXPECT_EQ(nullptr, discard ? nullptr : start.first);
		}
		EXPECT_EQ(threadsBefore - discard, kt::ThreadsOf(GetCurrentProcessId()).size()) << "threads left";
		EXPECT_EQ(0, CProbeThread::s_nInit);
		EXPECT_EQ(1, CProbeThread::s_nDeleted);
		const bool noThread = replacement == createEvent || replacement == (void*)&FailingBeginThread;
		EXPECT_TRUE(noThread ? s_calls >= failAt : s_threadId != 0) << "the patched call was never made";
		CHandle hThread(OpenThread(SYNCHRONIZE, FALSE, s_threadId));
		EXPECT_TRUE(!hThread.IsCreated() || WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0)
			<< "thread " << s_threadId << " still runs";
	}
}
