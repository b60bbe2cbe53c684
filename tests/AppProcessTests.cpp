// Kestrune.exe as a launcher runs it: real processes, real windows, the real
// string table (60 s to appear, 1 s to vanish).
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

// The exit code is 0 in every outcome. A start-up that fails starts, runs and
// broadcasts nothing; a window that never shows up is awaited the real
// minute, then the end is broadcast, and nothing runs.
TEST(AppProcessTest, ExitCodeIsZeroAndOnlyAWaitThatRanBroadcasts)
{
	kt::RecordFile record;
	kt::CaptionWindows listener;
	ASSERT_TRUE(listener.Start(kt::UniqueName("KtListener"), 180000, true));
	// The utility's arguments, whose next command would record itself, its
	// instances, and the least ms it runs.
	const std::string next = "/n=" + kt::RecordCommand();
	const std::tuple<std::string, DWORD, LONGLONG> cases[] = {
		{ "", 1, 0 },                   // no arguments
		{ "/c=KtNever", 1, 0 },         // no next command
		{ next + " /c=KtNever", 1, 0 }, // the caption belongs to the command
		{ "/c " + next, 1, 0 },         // "/c" is no caption option
		{ "/c= " + next, 1, 0 },        // empty caption: the worker refuses it
		{ "/r /c= " + next, 2, 0 },     // relaunched instance started, and refuses the same
		{ "/r " + next, 1, 0 },         // no caption: no new instance either
		{ "/c=" + kt::UniqueName("KtNeverShown") + " " + next, 1, 59000 },
	};
	for (const auto& [args, processes, least] : cases)
	{
		SCOPED_TRACE(args);
		kt::Job job;
		kt::Process p;
		const ULONGLONG startAt = GetTickCount64();
		ASSERT_TRUE(p.Start(kt::KestruneCommand(args), &job));
		ASSERT_TRUE(p.Wait(120000)) << "still running";
		EXPECT_TRUE(kt::Within(GetTickCount64() - startAt, least, least + 30000));
		EXPECT_EQ(0u, p.ExitCode());
		EXPECT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, 15000))
			<< "a new instance still runs";
		EXPECT_EQ(processes, job.Counts().TotalProcesses);
	}
	// A broadcast of this test's own, heard after every earlier one.
	PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("__Detect_End_Of_Application__"), 1, 2);
	ASSERT_TRUE(kt::PumpUntil([&] { return listener.Heard().size() >= 2; }, 15000));
	EXPECT_EQ(2u, listener.Heard().size()) << "a start-up that failed ran its wait";
	EXPECT_TRUE(record.Runs().empty());
}

TEST(AppProcessTest, DirectModeWaitsRunsTheCommandWithItsArgumentsAndExitsZero)
{
	kt::RecordFile record;
	std::string caption = kt::UniqueName("KtDirect");
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption + " main window", 2000));
	// The next command is every argument from /n= on, joined by spaces: the
	// quotes the launcher needed around "a b" are not restored, and a * is no
	// file name pattern.
	kt::Process p;
	ASSERT_TRUE(
		p.Start(kt::KestruneCommand("-C=" + caption + " ignored /x /n= " + kt::RecordCommand() + " \"a b\" \"\" c *")));
	// Stop messages, reports naming each thread and quits, posted from
	// elsewhere before and after the window went, change nothing.
	for (int i = 0; i < 10 && !p.Wait(300); ++i)
	{
		const std::vector<DWORD> threads = kt::ThreadsOf(GetProcessId(p.Handle()));
		for (DWORD to : threads)
		{
			PostThreadMessageA(to, WM_QUIT, 7, 0);
			PostThreadMessageA(to, WM_WAITPROC_STOP, 1, 0);
			for (DWORD id : threads)
				PostThreadMessageA(to, WM_WAITPROC_DONE, 0, id);
		}
	}
	ASSERT_TRUE(p.Wait(30000));
	EXPECT_EQ(0u, p.ExitCode());
	std::vector<kt::Record> runs = record.Runs();
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "a", "b", "c", "*" }), runs[0].args);
}
