// Kestrune.exe as a launcher runs it: real processes, real windows, the real
// string table (60 s to appear, 1 s to vanish).
#include <atomic>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

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

// Without options the exit code is 0 in every outcome. A start-up that fails
// starts, runs and broadcasts nothing; a window that never shows up is
// awaited the real minute, then the end is broadcast, and nothing runs. The
// window of the timeout rows shows 6 s after the utility waits: past a
// timeout of 5 s, within one of 10. The exit-code option passes the
// follow-up's own code on; /r hands every option to the new instance; two
// instances log to one file at once, each line whole and each instance's
// events in order; a log that cannot be opened changes nothing.
TEST(AppProcessTest, ExitCodesLogsAndOnlyAWaitThatRanBroadcasts)
{
	kt::RecordFile record;
	kt::ScratchDir dir;
	kt::CaptionWindows listener;
	ASSERT_TRUE(listener.Start(kt::UniqueName("KtListener"), 600000, true));
	const std::string log = dir.File("kestrune.log"), logged = "/exitcode \"/log=" + log + "\" ";
	const std::string next = " /n=" + kt::RecordCommand(), exit7 = " /n=" + kt::RecordCommand("--exit 7");
	const std::string ran =
		"started|window found|window gone|broadcast posted|follow-up started|follow-up ended|exit code ";
	struct
	{
		std::string args; // "%s" stands for the caption
		int shownAfterMs; // the window's delay after the utility waits (0: shown before; -1: none)
		DWORD exitCode;   // of each instance
		size_t instances, processes, runs, broadcasts; // instances started at once, processes in the job
		LONGLONG leastMs;                              // the least the first instance runs; 30 s more at most
		std::vector<std::string> events;               // each instance's: the log's texts up to a colon or comma
	} rows[] = {
		{ "", -1, 0, 1, 1, 0, 0, 0, {} },                 // no arguments
		{ "/c=%s", -1, 0, 1, 1, 0, 0, 0, {} },            // no next command
		{ next + " /c=%s", -1, 0, 1, 1, 0, 0, 0, {} },    // the caption belongs to the command
		{ "/c" + next, -1, 0, 1, 1, 0, 0, 0, {} },        // "/c" is no caption option
		{ "/c=" + next, -1, 0, 1, 1, 0, 0, 0, {} },       // empty caption: the worker refuses it
		{ "/r /c=" + next, -1, 0, 1, 2, 0, 0, 0, {} },    // relaunched instance started, and refuses the same
		{ "/r" + next, -1, 0, 1, 1, 0, 0, 0, {} },        // no caption: no new instance either
		{ "/c=%s" + next, -1, 0, 1, 1, 0, 1, 59000, {} }, // the real minute
		{ logged + "/timeout=5 /c=%s" + exit7, 6000, 26001, 1, 1, 0, 1, 0,
			{ "started|window never appeared|broadcast posted|exit code 26001" } },
		{ logged + "-TIMEOUT=10 /c=%s /n=" + kt::RecordCommand("--exit 3010"), 6000, 3010, 1, 2, 1, 1, 0,
			{ ran + "3010" } },
		{ logged + "/c=%s" + exit7, 0, 7, 2, 4, 2, 2, 0, { ran + "7", ran + "7" } },
		{ logged + "/r /c=%s" + exit7, 0, 0, 1, 3, 1, 1, 0, { "started|relaunch handed over|exit code 0", ran + "7" } },
		{ logged + "/timeout=1x /c=%s /n=Z:\\kt-none\\nope.exe", 0, 26002, 1, 1, 0, 1, 0,
			{ "started|timeout ignored|window found|window gone|broadcast posted|follow-up not started|exit code "
			  "26002" } },
		{ logged + "/c=%s", -1, 26003, 1, 1, 0, 0, 0, { "started|exit code 26003" } },
		{ logged + "\"/log=" + dir.File("none\\kestrune.log") + "\" /c=%s" + exit7, 0, 7, 1, 2, 1, 1, 0, {} },
	};
	const std::regex whole(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(\d+)\] ([^:,]+).*\r)");
	for (const auto& row : rows)
	{
		const std::string caption = kt::UniqueName("KtLogged");
		std::string args = row.args;
		for (size_t at; (at = args.find("%s")) != std::string::npos;)
			args.replace(at, 2, caption);
		SCOPED_TRACE(args);
		DeleteFileA(log.c_str());
		const size_t runsBefore = record.Runs().size(), heardBefore = listener.Heard().size();
		kt::CaptionWindows windows;
		ASSERT_TRUE(row.shownAfterMs != 0 || windows.Start(caption, 2000, false, 1, "", true));
		kt::Job job;
		std::vector<kt::Process> instances(row.instances);
		const ULONGLONG startAt = GetTickCount64();
		for (kt::Process& p : instances)
			ASSERT_TRUE(p.Start(kt::KestruneCommand(args), &job));
		if (row.shownAfterMs > 0)
		{
			ASSERT_EQ(0u, WaitForInputIdle(instances[0].Handle(), 20000));
			Sleep(row.shownAfterMs); // the subject: a window that shows late
			ASSERT_TRUE(windows.Start(caption, 2000));
		}
		for (kt::Process& p : instances)
			EXPECT_TRUE(p.Wait(120000) && p.ExitCode() == row.exitCode) << "exit code " << p.ExitCode();
		EXPECT_TRUE(kt::Within(GetTickCount64() - startAt, row.leastMs, row.leastMs + 30000));
		ASSERT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, row.runs ? 60000 : 15000))
			<< "a new instance still runs";
		EXPECT_EQ(row.processes, job.Counts().TotalProcesses);
		EXPECT_EQ(runsBefore + row.runs, record.Runs().size());
		// A broadcast of this test's own, heard after every earlier one.
		PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("__Detect_End_Of_Application__"), 1, 2);
		ASSERT_TRUE(kt::PumpUntil([&] { return listener.Heard().size() > heardBefore + row.broadcasts; }, 15000));
		EXPECT_EQ(heardBefore + row.broadcasts + 1, listener.Heard().size()) << "broadcasts heard";
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
		EXPECT_EQ(std::multiset<std::string>(row.events.begin(), row.events.end()), events);
	}
}
