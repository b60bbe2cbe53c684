// Kestrune.exe as a launcher runs it: real processes, real windows, the real
// string table (60 s to appear, 1 s to vanish).
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

TEST(AppProcessTest, ExitCodeIsZeroAndNothingRunsOrBroadcastsWhenStartUpFails)
{
	kt::RecordFile record;
	kt::CaptionWindows listener;
	ASSERT_TRUE(listener.Start(kt::UniqueName("KtListener"), 120000, true));
	// The utility's arguments, whose next command would record itself, and its instances.
	const std::string next = "/n=" + kt::RecordCommand();
	const std::pair<std::string, DWORD> cases[] = {
		{ "", 1 },                   // no arguments
		{ "/c=KtNever", 1 },         // no next command
		{ next + " /c=KtNever", 1 }, // the caption belongs to the command
		{ "/c " + next, 1 },         // "/c" is no caption option
		{ "/c= " + next, 1 },        // empty caption: the worker refuses it
		{ "/r /c= " + next, 2 },     // relaunched instance started, and refuses the same
	};
	for (const auto& [args, processes] : cases)
	{
		SCOPED_TRACE(args);
		kt::Job job;
		kt::Process p;
		ASSERT_TRUE(p.Start(kt::KestruneCommand(args), &job));
		ASSERT_TRUE(p.Wait(15000)) << "still running";
		EXPECT_EQ(0u, p.ExitCode());
		EXPECT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, 15000))
			<< "a new instance still runs";
		EXPECT_EQ(processes, job.Counts().TotalProcesses);
	}
	kt::PumpFor(1500);
	EXPECT_TRUE(listener.Heard().empty()) << "a worker ran its wait";
	EXPECT_TRUE(record.Runs().empty());
}

TEST(AppProcessTest, DirectModeWaitsRunsTheCommandWithItsArgumentsAndExitsZero)
{
	kt::RecordFile record;
	std::string caption = kt::UniqueName("KtDirect");
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption + " main window", 2000));
	// The next command is every argument from /n= on, joined by spaces: the
	// quotes the launcher needed around "a b" are not restored.
	kt::Process p;
	ASSERT_TRUE(
		p.Start(kt::KestruneCommand("-C=" + caption + " ignored /x /n= " + kt::RecordCommand() + " \"a b\" \"\" c")));
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
	EXPECT_EQ((std::vector<std::string>{ "a", "b", "c" }), runs[0].args);
}

// The real minute: no window ever shows up.
TEST(AppProcessTest, NoWindowWithinSixtySecondsRunsNothingAndExitsZero)
{
	kt::RecordFile record;
	kt::Process p;
	ULONGLONG startAt = GetTickCount64();
	ASSERT_TRUE(p.Start(kt::KestruneCommand("/c=" + kt::UniqueName("KtNeverShown") + " /n=" + kt::RecordCommand())));
	ASSERT_TRUE(p.Wait(120000));
	EXPECT_TRUE(kt::Within(GetTickCount64() - startAt, 59000, 90000));
	EXPECT_EQ(0u, p.ExitCode());
	EXPECT_TRUE(record.Runs().empty());
}
