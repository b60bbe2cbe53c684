// Kestrune.exe as a launcher runs it: real processes, real windows, the real
// string table (60 s to appear, 1 s to vanish).
#include <atomic>
#include <map>
#include <regex>
#include <set>
#include <thread>

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

// The follow-up launch as a debugger sees it: one whole line per started
// command, and the utility's exit code; a relaunch that cannot be started
// writes its line too. Stop messages, reports naming each thread and quits,
// which another program posts to the utility's threads all along, change
// nothing.
TEST(FollowUpTest, OneWholeLinePerCommandAndExitCodeZero)
{
	kt::RecordFile record;
	// The launcher's quotes around the program are its own: the utility
	// receives the path without them.
	const std::string recorder = kt::BinPath("kt_record.exe");
	// Trailing backslashes are doubled in the new instance's line: past 32,767 characters.
	const std::string backslashes(16500, '\\'), words = recorder + " " + std::string(20000, 'w');
	// The utility's options ("%s" stands for the caption), the next command,
	// the one debug line (none when empty), kt_record's runs so far. The
	// command is every argument from /n= on, joined by spaces: the quotes
	// the launcher needed around "a b" are not restored, and a * is no file
	// name pattern.
	const std::tuple<std::string, std::string, std::string, size_t> rows[] = {
		{ "/c=%s /n=", recorder + " --sleep 200 x", "SUCCESS: " + recorder + " --sleep 200 x\n", 1 },
		{ "-C=%s ignored /x /n= ", recorder + " \"a b\" \"\" c *", "SUCCESS: " + recorder + " a b  c *\n", 2 },
		{ "/c=%s /n=", "Z:\\kt-no-such-folder\\nope.exe /s \"a b\"", "ERROR: Z:\\kt-no-such-folder\\nope.exe /s a b\n",
			2 },
		{ "/c=%s /n=", words, "SUCCESS: " + words + "\n", 3 },
		{ "/c=%s /n=", "", "", 3 }, // an empty command starts nothing
		{ "/r /c=@ /n=", "x" + backslashes,
			"ERROR: \"" + kt::BinPath("Kestrune.exe") + "\" \"/c=@\" \"/n=x" + backslashes + backslashes + "\"\n", 3 },
	};
	std::atomic<bool> done(false);
	std::thread noise(
		[&]
		{
			for (; !done; Sleep(100))
				for (DWORD pid : kt::ChildProcesses("Kestrune.exe"))
					for (DWORD to : kt::ThreadsOf(pid))
						for (DWORD id : kt::ThreadsOf(pid))
						{
							PostThreadMessageA(to, WM_QUIT, 7, 0);
							PostThreadMessageA(to, WM_WAITPROC_STOP, 1, 0);
							PostThreadMessageA(to, WM_WAITPROC_DONE, 0, id);
						}
		});
	for (const auto& [options, next, text, runs] : rows)
	{
		SCOPED_TRACE(next.substr(0, 80));
		const std::string caption = kt::UniqueName("KtFollow");
		kt::CaptionWindows windows;
		EXPECT_TRUE(windows.Start(caption + " main window", 2000, false, 1, "", true));
		char args[128];
		snprintf(args, sizeof(args), options.c_str(), caption.c_str());
		// Generous: a busy machine took over a minute for the 20,000-character
		// row; the bound is for a utility that never ends.
		std::vector<std::string> texts;
		EXPECT_TRUE(kt::RunUnderDebugger(args + next, 180000, &texts));
		EXPECT_EQ(text.empty() ? std::vector<std::string>{} : std::vector<std::string>{ text }, texts);
		EXPECT_EQ(runs, record.Runs().size());
	}
	done = true;
	noise.join();
	EXPECT_EQ((std::vector<std::string>{ "a", "b", "c", "*" }), record.Runs().at(1).args);
}

// The timeout, exit-code and log options through the real executable. The
// window shows 6 s after the utility waits: past a timeout of 5 s, within one
// of 10. The follow-up's own code is passed on; /r hands every option to the
// new instance; two instances log to one file at once, each line whole and
// each instance's events in order; a log that cannot be opened changes nothing.
TEST(AppProcessTest, TimeoutExitCodeAndLogOptionsThroughTheRealExecutable)
{
	kt::RecordFile record;
	kt::ScratchDir dir;
	const std::string log = dir.File("kestrune.log"), exit7 = kt::RecordCommand("--exit 7");
	const std::string ran =
		"started|window found|window gone|broadcast posted|follow-up started|follow-up ended|exit code ";
	// The options, the window's delay after the utility waits (0: shown before),
	// the instances started at once, the follow-up (none: no /n=), the exit
	// code of each, the follow-up's runs, and each instance's events: the
	// log's texts up to a colon or comma.
	const std::tuple<std::string, DWORD, size_t, std::string, DWORD, size_t, std::vector<std::string>> rows[] = {
		{ "/timeout=5", 6000, 1, exit7, 26001, 0,
			{ "started|window never appeared|broadcast posted|exit code 26001" } },
		{ "-TIMEOUT=10", 6000, 1, kt::RecordCommand("--exit 3010"), 3010, 1, { ran + "3010" } },
		{ "", 0, 2, exit7, 7, 2, { ran + "7", ran + "7" } },
		{ "/r", 0, 1, exit7, 0, 1, { "started|relaunch handed over|exit code 0", ran + "7" } },
		{ "/timeout=1x", 0, 1, "Z:\\kt-none\\nope.exe", 26002, 0,
			{ "started|timeout ignored|window found|window gone|broadcast posted|follow-up not started|exit code "
			  "26002" } },
		{ "", 0, 1, "", 26003, 0, { "started|exit code 26003" } },
		{ "\"/log=" + dir.File("none\\kestrune.log") + "\"", 0, 1, exit7, 7, 1, {} },
	};
	const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(\d+)\] ([^:,]+).*\r)");
	for (const auto& [options, delayMs, count, next, code, runs, expected] : rows)
	{
		SCOPED_TRACE(options + " " + next);
		DeleteFileA(log.c_str());
		const size_t before = record.Runs().size();
		const std::string caption = kt::UniqueName("KtLogged");
		kt::CaptionWindows windows;
		ASSERT_TRUE(delayMs != 0 || windows.Start(caption, 2000, false, 1, "", true));
		kt::Job job;
		std::vector<kt::Process> instances(count);
		for (kt::Process& p : instances)
			ASSERT_TRUE(p.Start(kt::KestruneCommand("/exitcode \"/log=" + log + "\" " + options + " /c=" + caption
									+ (next.empty() ? "" : " /n=" + next)),
				&job));
		if (delayMs != 0)
		{
			ASSERT_EQ(0u, WaitForInputIdle(instances[0].Handle(), 20000));
			Sleep(delayMs); // the subject: a window that shows late
			ASSERT_TRUE(windows.Start(caption, 2000));
		}
		for (kt::Process& p : instances)
		{
			ASSERT_TRUE(p.Wait(90000));
			EXPECT_EQ(code, p.ExitCode());
		}
		ASSERT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, 60000));
		EXPECT_EQ(before + runs, record.Runs().size());
		std::map<std::string, std::string> byProcess; // each process's events, in order
		std::smatch m;
		for (const std::string& line : kt::ReadLines(log))
		{
			ASSERT_TRUE(std::regex_match(line, m, whole)) << "not a whole line: " << line;
			byProcess[m[1]] += (byProcess[m[1]].empty() ? "" : "|") + m[2].str();
		}
		std::multiset<std::string> events;
		for (const auto& [pid, list] : byProcess)
			events.insert(list);
		EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.end()), events);
	}
}
