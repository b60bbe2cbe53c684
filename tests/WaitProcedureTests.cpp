// The wait procedure with real windows and processes. This program's string
// table gives 4 s for a window to appear and 1 s for it to stay away.
#include "WorkerFixture.h"
#include "res/resource.h"

using WaitProcedureTest = WorkerFixture;

// The appear and vanish seconds that LoadStringA gives while ScriptedString
// stands in for it (nullptr: no such string); other strings are the program's.
static const char *s_appear, *s_vanish;
static bool ScriptedString(int* pResult, HINSTANCE, UINT id, LPSTR buffer, int size)
{
	const char* text = id == IDS_APPEAR_TIMEOUT ? s_appear : s_vanish;
	const bool scripted = id == IDS_APPEAR_TIMEOUT || id == IDS_VANISH_SECONDS;
	*pResult = scripted ? lstrlenA(lstrcpynA(buffer, text != nullptr ? text : "", size)) : 0;
	return scripted;
}

// The caption probes, counted and played by a script, a step each: 'S' the
// real window list (also past the end), 'A' an empty one, 'F' a failed probe.
static volatile LONG s_nProbes;
static volatile ULONGLONG s_lastProbeAt, s_longestGap, s_startCalledAt; // ticks, and ms between probes
static std::string s_script;
static bool ScriptedEnumWindows(BOOL* pResult, WNDENUMPROC, LPARAM)
{
	size_t n = (size_t)InterlockedIncrement(&s_nProbes);
	const ULONGLONG now = GetTickCount64();
	s_longestGap = s_lastProbeAt != 0 && now - s_lastProbeAt > s_longestGap ? now - s_lastProbeAt : s_longestGap;
	s_lastProbeAt = now;
	const char step = n <= s_script.size() ? s_script[n - 1] : 'S';
	SetLastError(step == 'F' ? ERROR_NOT_ENOUGH_MEMORY : GetLastError());
	*pResult = step == 'A';
	return step != 'S';
}

// CreateProcessA refusing its next s_nRefusedStarts calls with s_dwRefusal, as
// Wine refuses a process that ended in its start-up, or Windows one that needs elevation.
static volatile LONG s_nRefusedStarts;
static DWORD s_dwRefusal;
static const auto RefuseStart = [](BOOL*, auto...)
{
	s_startCalledAt = GetTickCount64();
	const bool refused = InterlockedDecrement(&s_nRefusedStarts) >= 0;
	SetLastError(refused ? s_dwRefusal : GetLastError());
	return refused;
};

// A stop request in each wait is noticed within a poll and the worker still
// reports; the wait fails, and what it waited on (process, follow-up) runs on.
TEST_F(WaitProcedureTest, StopIsNoticedInEveryWait)
{
	// The wait, its type, whether its window shows and whether a follow-up runs.
	const std::tuple<const char*, int, bool, bool> cases[] = {
		{ "appear phase", CWaitProcThread::waitCaption, false, false },
		{ "vanish phase", CWaitProcThread::waitCaption, true, false },
		{ "process wait", CWaitProcThread::waitProcess, false, false },
		{ "follow-up wait", CWaitProcThread::waitNone, false, true },
	};
	// A minute to appear: a stop that is not noticed shows as a missing report.
	s_appear = "60", s_vanish = "1";
	KT_STAND_IN(strings, "USER32.dll", LoadStringA, &ScriptedString);
	for (const auto& [name, waitType, window, command] : cases)
	{
		SCOPED_TRACE(name);
		std::string caption = kt::UniqueName("KtWait");
		kt::CaptionWindows windows;
		ASSERT_TRUE(window ? windows.Start(caption, 30000) : ::testing::AssertionSuccess());
		kt::Process awaited;
		ASSERT_TRUE(awaited.Start(kt::RecordCommand("--sleep 30000 awaited")));
		ASSERT_TRUE(NewWorker(waitType == CWaitProcThread::waitCaption ? caption : "",
			kt::RecordCommand(command ? "--sleep 30000 follow-up" : "follow-up")));
		if (waitType == CWaitProcThread::waitProcess)
			WaitOnProcess(awaited, CWaitProcThread::waitProcess);
		m_pWorker->m_bRunAlways = command;
		Resume();
		kt::PumpFor(1500);
		ULONGLONG stopAt = GetTickCount64();
		m_pWorker->Stop(FALSE);
		ASSERT_TRUE(WaitDone(10000));
		EXPECT_TRUE(kt::Within(m_doneAt - stopAt, 0, 5000)) << "one poll and one probe at most, with room";
		EXPECT_TRUE(ThreadEnded(5000)) << "the queued stop request ends the thread after the report";
		EXPECT_FALSE(awaited.Wait(0)) << "the worker ended the awaited process";
		std::vector<DWORD> followUps = kt::ChildProcesses("kt_record.exe", GetProcessId(awaited.Handle()));
		EXPECT_EQ(command ? 1u : 0u, followUps.size()) << "follow-ups running";
		for (DWORD id : followUps)
			TerminateProcess(CHandle(OpenProcess(PROCESS_TERMINATE, FALSE, id)), 1);
		EXPECT_TRUE(Records().empty()) << "something ran to its end";
	}
}

// Process then caption: a window seen while the process runs ends the wait,
// and the follow-up runs alongside the process; a process that ends first
// leaves the caption wait to see a later window come and go.
TEST_F(WaitProcedureTest, ProcessThenCaption)
{
	// A minute to appear, however long the window takes to show.
	s_appear = "60", s_vanish = "1";
	KT_STAND_IN(strings, "USER32.dll", LoadStringA, &ScriptedString);
	for (bool windowFirst : { true, false })
	{
		SCOPED_TRACE(windowFirst ? "window while the process runs" : "process ends first");
		std::string caption = kt::UniqueName("KtWait");
		size_t before = Records().size();
		kt::Process waited;
		ASSERT_TRUE(waited.Start(kt::RecordCommand(windowFirst ? "--sleep 30000 waited" : "--sleep 300 waited")));
		ASSERT_TRUE(NewWorker(caption, kt::RecordCommand("follow-up")));
		WaitOnProcess(waited, CWaitProcThread::waitProcessThenCaption);
		Resume();
		ASSERT_TRUE(windowFirst || waited.Wait(10000));
		kt::PumpFor(1500); // the process wait, or the appear phase, is running now
		EXPECT_EQ(before + !windowFirst, Records().size());
		kt::CaptionWindows windows;
		ASSERT_TRUE(windows.Start(caption, 2000));
		ASSERT_TRUE(WaitDone(20000));
		EXPECT_EQ(windowFirst, !!m_pWorker->m_bCaptionSeen);
		EXPECT_EQ(windowFirst, !waited.Wait(0));
		EXPECT_EQ(before + (windowFirst ? 1 : 2), Records().size());
		EXPECT_EQ("follow-up", Records().back().args.back());
		EXPECT_TRUE(StopAfterReport());
	}
}

// The follow-up runs after a successful wait, or any with run-always, unless
// told not to run at once; one not started is kept. One that cannot start is
// reported promptly; a start Wine refuses as ended in its start-up is made
// five times in all; one that needs elevation goes through the shell, with its
// arguments. The owner is told once it has ended; none inherits our handles.
TEST_F(WaitProcedureTest, FollowUpRunsAfterASuccessfulWaitOrWithRunAlways)
{
	kt::Process ended;
	ASSERT_TRUE(ended.Start(kt::RecordCommand("waited")));
	ASSERT_TRUE(ended.Wait(10000));
	const int none = CWaitProcThread::waitNone, caption = CWaitProcThread::waitCaption;
	struct
	{
		const char* what;
		int waitType;
		bool process, caption, runAlways, runs;
		HANDLE handle = NULL; // instead of the process's
		BOOL noImmediateRun = FALSE, stopFirst = FALSE;
		LONG refusals = 0; // starts refused, with refusal
		DWORD refusal = ERROR_INTERNAL_ERROR;
		std::string command = kt::RecordCommand("--sleep 300 follow-up");
	} rows[] = {
		{ "no wait", none, false, false, false, false },
		{ "no wait, run always", none, false, false, true, true },
		{ "unknown wait", 7, true, true, false, false },
		{ "unknown wait, run always", 7, true, true, true, true },
		{ "process then caption, no process", 3, false, true, false, false },
		{ "process then caption, no process, run always", 3, false, true, true, true },
		{ "process then caption, no caption", 3, true, false, false, true },
		{ "failed caption wait, run always", caption, false, true, true, true },
		{ "wait handle that cannot be closed", 1, false, false, true, false, (HANDLE)(ULONG_PTR)0x7ff0 },
		{ "run always, no immediate run", none, false, false, true, false, NULL, TRUE },
		{ "ended process, stop already requested", 1, true, false, false, true, NULL, FALSE, TRUE },
		{ "no such program", none, false, false, true, false, NULL, FALSE, FALSE, 0, 0, "Z:\\kt-none\\nope.exe /x" },
		{ "four starts refused", none, false, false, true, true, NULL, FALSE, FALSE, 4 },
		{ "five starts refused", none, false, false, true, false, NULL, FALSE, FALSE, 5 },
		{ "start needs elevation", none, false, false, true, true, NULL, FALSE, FALSE, 1, ERROR_ELEVATION_REQUIRED },
	};
	KT_STAND_IN(patch, "KERNEL32.dll", CreateProcessA, RefuseStart);
	SECURITY_ATTRIBUTES inheritable = { sizeof(inheritable), NULL, TRUE };
	CHandle hRead, hWrite;
	ASSERT_TRUE(CreatePipe(hRead.Receive(), hWrite.Receive(), &inheritable, 0));
	SetEnvironmentVariableA("KT_RECORD_HANDLE", std::to_string((ULONG_PTR)(HANDLE)hWrite).c_str());
	for (const auto& row : rows)
	{
		SCOPED_TRACE(row.what);
		const size_t before = Records().size();
		s_nRefusedStarts = row.refusals, s_dwRefusal = row.refusal;
		ASSERT_TRUE(NewWorker(row.caption ? kt::UniqueName("KtWait") : "", row.command));
		if (row.process)
			WaitOnProcess(ended, row.waitType);
		m_pWorker->m_hWaitProcess = row.handle != NULL ? row.handle : m_pWorker->m_hWaitProcess;
		m_pWorker->m_nWaitType = row.waitType;
		m_pWorker->m_bRunAlways = row.runAlways;
		m_pWorker->m_bNoImmediateRun = row.noImmediateRun;
		m_pWorker->m_bStopRequested = row.stopFirst;
		Resume();
		ASSERT_TRUE(WaitDone(20000));
		EXPECT_TRUE(kt::Within(m_doneAt - m_resumedAt, 0, row.waitType == caption ? 12000 : 6000));
		EXPECT_EQ(row.runs ? "" : row.command, (LPCSTR)m_pWorker->m_strCommand) << "a command not started is kept";
		EXPECT_TRUE(StopAfterReport());
		EXPECT_EQ(before + row.runs, Records().size()) << "the follow-up " << (row.runs ? "did not run" : "ran");
		EXPECT_GE(m_doneAt, row.runs ? Records().back().endMs : 0) << "the owner was told before the follow-up ended";
		const std::vector<std::string> args = { "--sleep", "300", "follow-up" };
		EXPECT_EQ(args, row.runs ? Records().back().args : args);
	}
	SetEnvironmentVariableA("KT_RECORD_HANDLE", NULL);
	DWORD n = 0;
	ASSERT_TRUE(PeekNamedPipe(hRead, NULL, 0, NULL, &n, NULL)) << "error " << GetLastError();
	EXPECT_EQ(0u, n) << "bytes from inherited handles";
}

// The waits' seconds come from the string table (zero, no digits or none) as
// 500 ms polls, the appear time from the command line when it gives one (0:
// no limit): no appear time fails the wait; no vanish time runs the
// follow-up once the window is seen. The window must stay away for two probes
// in a row: one that sees it restarts the count, one that fails does neither.
// Each probe but a first that sees the window follows a poll; the follow-up
// starts within a poll and some room of the last. Every wait ends with one
// broadcast, after the last probe and before the follow-up's second is over.
TEST_F(WaitProcedureTest, VanishCountAndTimesByScriptedProbesThenOneBroadcast)
{
	std::string caption = kt::UniqueName("KtWait");
	kt::CaptionWindows windows, listener;
	ASSERT_TRUE(windows.Start(caption, 60000));
	ASSERT_TRUE(listener.Start(kt::UniqueName("KtListener"), 60000, true));
	// The appear and vanish seconds, the probes' script, whether the follow-up
	// runs, the probes made, whether another window is waited for, and the
	// appear seconds of the command line (-1: none; 0: no limit).
	const std::tuple<const char*, const char*, const char*, bool, LONG, bool, int> rows[] = {
		{ "0", "1", "", false, 0, false, -1 },
		{ "x", "1", "", false, 0, false, -1 },
		{ nullptr, "1", "", false, 0, false, -1 },
		{ "4", "0", "", true, 1, false, -1 },
		{ "4", "x", "", true, 1, false, -1 },
		{ "4", nullptr, "", false, 0, false, -1 },
		{ "4", "1", "", false, 8, true, -1 },
		{ "4", "1", "SASASAA", true, 7, false, -1 },
		{ "4", "1", "SAFFFA", true, 6, false, -1 },
		{ "4", "1", "", false, 4, true, 2 },
		{ "4", "1", "AAAAAAAAAAASAA", true, 14, false, 0 },
	};
	KT_STAND_IN(patch, "USER32.dll", EnumWindows, &ScriptedEnumWindows);
	KT_STAND_IN(strings, "USER32.dll", LoadStringA, &ScriptedString);
	KT_STAND_IN(starts, "KERNEL32.dll", CreateProcessA, RefuseStart);
	for (const auto& [appear, vanish, script, runs, probes, absent, seconds] : rows)
	{
		SCOPED_TRACE(std::string("appear ") + (appear ? appear : "missing") + ", vanish "
			+ (vanish ? vanish : "missing") + ", probes " + script + ", option " + std::to_string(seconds));
		s_appear = appear, s_vanish = vanish, s_script = script;
		const size_t before = Records().size(), heardBefore = listener.Heard().size();
		ASSERT_TRUE(
			NewWorker(absent ? kt::UniqueName("KtWait") : caption, kt::RecordCommand("--sleep 1000 follow-up")));
		s_nProbes = s_nRefusedStarts = 0, s_lastProbeAt = s_longestGap = s_startCalledAt = 0;
		m_pWorker->m_extras.nAppearSeconds = seconds;
		Resume();
		bool done = WaitDone(20000);
		EXPECT_EQ(probes, s_nProbes);
		ASSERT_TRUE(done);
		EXPECT_TRUE(kt::Within(m_doneAt - m_resumedAt, probes > 1 ? 450 * (probes - 1) : 0, 12000))
			<< "ms to the report, the window still there";
		EXPECT_LE(s_longestGap, 1400u) << "ms between two probes";
		EXPECT_TRUE(runs ? kt::Within(s_startCalledAt - s_lastProbeAt, 0, 2400) : ::testing::AssertionSuccess())
			<< "ms from the last probe to the follow-up's start";
		EXPECT_TRUE(StopAfterReport());
		EXPECT_EQ(before + runs, Records().size()) << "the follow-up " << (runs ? "did not run" : "ran");
		ASSERT_TRUE(kt::PumpUntil([&] { return listener.Heard().size() > heardBefore; }, 5000)) << "no broadcast";
		const std::string heard = listener.Heard().back();
		EXPECT_EQ(" 0 0", heard.substr(heard.find(' '))) << "the broadcast's wParam and lParam";
		EXPECT_GE(strtoull(heard.c_str(), NULL, 10), s_lastProbeAt) << "the broadcast came before the last probe";
		EXPECT_LT(strtoull(heard.c_str(), NULL, 10), runs ? Records().back().endMs : ~0ull)
			<< "after the follow-up's end";
		EXPECT_EQ(heardBefore + 1, listener.Heard().size());
	}
}
