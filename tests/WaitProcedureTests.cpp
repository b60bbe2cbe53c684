// The wait procedure with real windows and processes. This program's string
// table gives 4 s for a window to appear and 1 s for it to stay away.
#include "WorkerFixture.h"
#include "res/resource.h"

using WaitProcedureTest = WorkerFixture;

// The appear and vanish seconds as the string table gives them while a
// patch of LoadStringA holds (nullptr: no such string); every other string
// is the program's own.
static const char *s_appear, *s_vanish;
static void* s_pLoadString;
static int WINAPI ScriptedLoadString(HINSTANCE module, UINT id, LPSTR buffer, int size)
{
	if (id != IDS_APPEAR_TIMEOUT && id != IDS_VANISH_SECONDS)
		return ((decltype(&LoadStringA))s_pLoadString)(module, id, buffer, size);
	const char* text = id == IDS_APPEAR_TIMEOUT ? s_appear : s_vanish;
	lstrcpynA(buffer, text != nullptr ? text : "", size);
	return lstrlenA(buffer);
}

TEST_F(WaitProcedureTest, WindowAlreadyThereThenGoneRunsTheCommandAfterTwoAbsentProbes)
{
	std::string caption = kt::UniqueName("KtWait");
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption + " - Setup", 1500));
	ASSERT_TRUE(NewWorker(caption, kt::RecordCommand("--sleep 1000 one \"two words\"")));
	Resume();

	ASSERT_TRUE(windows.WaitGone(20000));
	ASSERT_TRUE(WaitDone(20000));
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "--sleep", "1000", "one", "two words" }), runs[0].args);
	// Two absent probes 500 ms apart, each followed by its sleep; at most a
	// poll more, and a slow process start.
	EXPECT_TRUE(kt::Within(runs[0].startMs - windows.VanishStartAt(), 950, 8000))
		<< "ms from the vanish to the command";
	EXPECT_GE(m_doneAt, runs[0].endMs) << "the owner was told before the command ended";
	EXPECT_TRUE(StopAfterReport());
}

// The caption probes, counted and played by a script: a step each, 'S' the
// real window list, 'A' the list without the windows of s_hidden's caption,
// 'F' a failed probe; past the script's end, 'S'.
static volatile LONG s_nProbes;
static volatile ULONGLONG s_lastProbeAt, s_longestGap, s_startCalledAt; // ticks, and ms between probes
static std::string s_script, s_hidden;
static void* s_pEnumWindows;
static WNDENUMPROC s_pEnumProc;

static BOOL CALLBACK SkipHidden(HWND hWnd, LPARAM lParam)
{
	char text[256] = "";
	GetWindowTextA(hWnd, text, sizeof(text));
	return _strnicmp(text, s_hidden.c_str(), s_hidden.size()) == 0 || s_pEnumProc(hWnd, lParam);
}

static BOOL WINAPI ScriptedEnumWindows(WNDENUMPROC proc, LPARAM lParam)
{
	size_t n = (size_t)InterlockedIncrement(&s_nProbes);
	const ULONGLONG now = GetTickCount64();
	s_longestGap = s_lastProbeAt != 0 && now - s_lastProbeAt > s_longestGap ? now - s_lastProbeAt : s_longestGap;
	s_lastProbeAt = now;
	char step = n <= s_script.size() ? s_script[n - 1] : 'S';
	if (step == 'F')
		SetLastError(ERROR_NOT_ENOUGH_MEMORY);
	s_pEnumProc = proc;
	return step != 'F' && ((BOOL(WINAPI*)(WNDENUMPROC, LPARAM))s_pEnumWindows)(step == 'A' ? SkipHidden : proc, lParam);
}

static volatile LONG s_nRefusedStarts;
static void* s_pCreateProcess;
static BOOL WINAPI RefusingCreateProcess(LPCSTR app, LPSTR line, LPSECURITY_ATTRIBUTES process,
	LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID env, LPCSTR dir, LPSTARTUPINFOA si,
	LPPROCESS_INFORMATION pi)
{
	s_startCalledAt = GetTickCount64();
	if (InterlockedDecrement(&s_nRefusedStarts) >= 0)
	{
		SetLastError(ERROR_INTERNAL_ERROR); // Wine's answer for a process that ended during its start-up
		return FALSE;
	}
	return ((decltype(&CreateProcessA))s_pCreateProcess)(app, line, process, thread, inherit, flags, env, dir, si, pi);
}

// A stop request during each wait is noticed within a poll, and the worker
// still reports; the wait counts as failed, and whatever it waited on (the
// awaited process, the follow-up) runs on.
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
	KT_IMPORT_PATCH(strings, "USER32.dll", "LoadStringA", (void*)&ScriptedLoadString, &s_pLoadString);
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

// Process then caption: a window seen while the process runs ends the
// process wait, and the follow-up runs while that process still runs; a
// process that ends first leaves the caption wait to see a window that
// appears later come and go.
TEST_F(WaitProcedureTest, ProcessThenCaption)
{
	// A minute to appear, however long the window takes to show.
	s_appear = "60", s_vanish = "1";
	KT_IMPORT_PATCH(strings, "USER32.dll", "LoadStringA", (void*)&ScriptedLoadString, &s_pLoadString);
	for (bool windowFirst : { true, false })
	{
		SCOPED_TRACE(windowFirst ? "window while the process runs" : "process ends first");
		std::string caption = kt::UniqueName("KtWait");
		size_t before = Records().size();
		kt::Process waited;
		ASSERT_TRUE(waited.Start(kt::RecordCommand(windowFirst ? "--sleep 30000 waited" : "--sleep 300 waited")));
		ASSERT_TRUE(NewWorker("", kt::RecordCommand("follow-up")));
		WaitOnProcess(waited, CWaitProcThread::waitProcessThenCaption, caption);
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

// The follow-up runs after a successful wait, or after any with run-always,
// unless told not to run at once; one not started is kept. A follow-up that
// cannot start is reported promptly; a start that Wine refuses as ended
// during its start-up is made again, five times in all.
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
		LONG refusals = 0; // starts refused
		std::string command = kt::RecordCommand("follow-up");
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
		{ "no such program", none, false, false, true, false, NULL, FALSE, FALSE, 0, "Z:\\kt-none\\nope.exe /x" },
		{ "four starts refused", none, false, false, true, true, NULL, FALSE, FALSE, 4 },
		{ "five starts refused", none, false, false, true, false, NULL, FALSE, FALSE, 5 },
	};
	KT_IMPORT_PATCH(patch, "KERNEL32.dll", "CreateProcessA", (void*)&RefusingCreateProcess, &s_pCreateProcess);
	for (const auto& row : rows)
	{
		SCOPED_TRACE(row.what);
		const size_t before = Records().size();
		s_nRefusedStarts = row.refusals;
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
		EXPECT_TRUE(kt::Within(m_doneAt - m_resumedAt, 0, row.waitType == caption ? 12000 : 4000));
		EXPECT_EQ(row.runs ? "" : row.command, (LPCSTR)m_pWorker->m_strCommand) << "a command not started is kept";
		EXPECT_TRUE(StopAfterReport());
		EXPECT_EQ(before + row.runs, Records().size()) << "the follow-up " << (row.runs ? "did not run" : "ran");
	}
}

// The two waits' seconds come from the string table, as polls of 500 ms:
// zero, no digits or none at all. With no appear time the wait fails; with
// no vanish time the follow-up runs as soon as the window is seen. The window
// must stay away for two probes in a row: a probe that sees it starts the
// count again, and a probe that fails neither counts nor restarts. The
// probes are counted, each but a first that sees the window followed by its
// poll: the follow-up starts after the script's last, no sooner and no more
// than a poll and some room later. Every wait, failed or not, ends with one
// broadcast, after the last probe and before the follow-up's second is over.
TEST_F(WaitProcedureTest, VanishCountAndTimesByScriptedProbesThenOneBroadcast)
{
	std::string caption = kt::UniqueName("KtWait");
	kt::CaptionWindows windows, listener;
	ASSERT_TRUE(windows.Start(caption, 60000));
	ASSERT_TRUE(listener.Start(kt::UniqueName("KtListener"), 60000, true));
	// The appear and vanish seconds, the probes' script, whether the follow-up
	// runs, the probes made, and whether another window is waited for.
	const std::tuple<const char*, const char*, const char*, bool, LONG, bool> rows[] = {
		{ "0", "1", "", false, 0, false },
		{ "x", "1", "", false, 0, false },
		{ nullptr, "1", "", false, 0, false },
		{ "4", "0", "", true, 1, false },
		{ "4", "x", "", true, 1, false },
		{ "4", nullptr, "", false, 0, false },
		{ "4", "1", "", false, 8, true },
		{ "4", "1", "SASASAA", true, 7, false },
		{ "4", "1", "SAFFFA", true, 6, false },
	};
	kt::ImportPatch patch("USER32.dll", "EnumWindows", (void*)&ScriptedEnumWindows, &s_pEnumWindows);
	kt::ImportPatch strings("USER32.dll", "LoadStringA", (void*)&ScriptedLoadString, &s_pLoadString);
	ASSERT_TRUE(patch.IsApplied() && strings.IsApplied());
	KT_IMPORT_PATCH(starts, "KERNEL32.dll", "CreateProcessA", (void*)&RefusingCreateProcess, &s_pCreateProcess);
	s_hidden = caption;
	for (const auto& [appear, vanish, script, runs, probes, absent] : rows)
	{
		SCOPED_TRACE(std::string("appear ") + (appear ? appear : "missing") + ", vanish "
			+ (vanish ? vanish : "missing") + ", probes " + script);
		s_appear = appear, s_vanish = vanish, s_script = script;
		const size_t before = Records().size(), heardBefore = listener.Heard().size();
		ASSERT_TRUE(
			NewWorker(absent ? kt::UniqueName("KtWait") : caption, kt::RecordCommand("--sleep 1000 follow-up")));
		s_nProbes = s_nRefusedStarts = 0, s_lastProbeAt = s_longestGap = s_startCalledAt = 0;
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
