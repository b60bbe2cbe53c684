// kt_demo: the main job, shown step by step as a launcher would see it.
// A demonstration window comes and goes; Kestrune.exe waits for it,
// broadcasts the end, runs the follow-up command and waits for it.
#include <windows.h>

#include <stdio.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"

static ULONGLONG s_t0;

static void Say(ULONGLONG at, const char* what)
{
	printf("%+7.2f s  %s\n", ((LONGLONG)(at - s_t0)) / 1000.0, what);
	fflush(stdout);
}

// Prints the broadcast and the follow-up's runs as they turn up.
class Watcher
{
public:
	Watcher(kt::CaptionWindows& listener, const kt::RecordFile& record) : m_listener(listener), m_record(record) {}
	void Poll()
	{
		std::vector<std::string> heard = m_listener.Heard();
		for (; m_heard < heard.size(); ++m_heard)
			Say(strtoull(heard[m_heard].c_str(), NULL, 10),
				"a listening window received \"__Detect_End_Of_Application__\" (wParam 0, lParam 0)");
		std::vector<kt::Record> runs = m_record.Runs();
		for (; m_runs < runs.size(); ++m_runs)
		{
			std::string args;
			for (const std::string& a : runs[m_runs].args)
				args += " [" + a + "]";
			Say(runs[m_runs].startMs, ("the follow-up command started, arguments:" + args).c_str());
			Say(runs[m_runs].endMs, "the follow-up command ended");
		}
	}

private:
	kt::CaptionWindows& m_listener;
	const kt::RecordFile& m_record;
	size_t m_heard = 0, m_runs = 0;
};

static bool Scenario(bool relaunch)
{
	kt::RecordFile record;
	kt::CaptionWindows listener;
	if (!listener.Start("Demo listener", 120000, true))
		return false;
	Watcher watcher(listener, record);
	std::string caption = "Demo Setup " + kt::UniqueName("wizard");
	std::string args = std::string(relaunch ? "/r " : "") + "\"/c=Demo Setup\" /n=" + kt::BinPath("kt_record.exe")
		+ " --sleep 1500 \"installed ok\"";

	s_t0 = GetTickCount64();
	printf("\n== %s\n",
		relaunch ? "Relaunch mode: the launcher is not held up"
				 : "Direct mode, under a debugger that shows the utility's debug output");
	printf("launcher runs: Kestrune.exe %s\n", args.c_str());
	kt::Process kestrune;
	// The debugger runs in a thread of its own: only that thread hears the utility.
	std::vector<std::string> debugTexts;
	::testing::AssertionResult debugged = ::testing::AssertionSuccess();
	std::atomic<bool> ended(relaunch);
	std::thread debugger;
	if (relaunch)
	{
		if (!kestrune.Start(kt::KestruneCommand(args)) || !kestrune.Wait(15000))
			return false;
		char line[96];
		sprintf(line, "Kestrune.exe returned to the launcher with exit code %lu; its new instance waits",
			kestrune.ExitCode());
		Say(GetTickCount64(), line);
	}
	else
		debugger = std::thread(
			[&]
			{
				debugged = kt::RunUnderDebugger(args, 60000, &debugTexts);
				ended = true;
			});

	kt::PumpFor(1500);
	kt::CaptionWindows windows;
	if (!windows.Start(caption, 2500))
		return false;
	Say(windows.ShownAt(), ("the application's window \"" + caption + "\" appeared").c_str());
	// Wine can take a while to destroy a shown window: it is gone once its process has ended.
	windows.WaitGone(20000);
	Say(GetTickCount64(), "the application's window vanished");

	bool done = kt::PumpUntil(
		[&]
		{
			watcher.Poll();
			return record.Runs().size() == 1 && ended;
		},
		30000);
	kt::PumpFor(300);
	watcher.Poll();
	if (!relaunch)
	{
		debugger.join();
		for (std::string text : debugTexts)
			Say(GetTickCount64(), ("debug output: " + text.erase(text.find_last_not_of('\n') + 1)).c_str());
		Say(GetTickCount64(), debugged ? "Kestrune.exe ended with exit code 0" : debugged.message());
	}
	return done && debugged;
}

int main()
{
	bool ok = Scenario(true) && Scenario(false);
	printf("\n%s\n", ok ? "demo: done" : "demo: FAILED");
	return ok ? 0 : 1;
}
