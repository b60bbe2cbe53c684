// The whole path over a reboot: given a reboot flag, the utility registers
// the follow-up under RunOnce instead of running it once the watched window
// has set the flag, and "wineboot -r" then runs RunOnce entries as a restart
// does. A registration that fails runs the command at once.
#include "WorkerFixture.h"

class RebootTest : public WorkerFixture
{
protected:
	// The watched window, which sets the flag right before it closes, 2 s
	// after the utility waits.
	void ShowWindowThatSetsTheFlag(const std::string& caption)
	{
		ASSERT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending"));
		ASSERT_TRUE(m_windows.Start(caption, 2000, false, 1, m_flag.Path(), true));
	}

	std::string Registered(const char* name = "Vormelle") { return m_runOnce.Registered(name).c_str(); }

	// "wineboot -r": RunOnce entries run, one after the other, and are removed.
	void Reboot()
	{
		kt::Process wineboot;
		ASSERT_TRUE(wineboot.Start("wineboot.exe -r"));
		ASSERT_TRUE(wineboot.Wait(120000));
		EXPECT_FALSE(kt::ValueExists(m_runOnce.Key(), "Vormelle"));
	}

	kt::ScratchKey m_flag{ HKEY_CURRENT_USER };
	kt::RunOnceKey m_runOnce{ { "KtKnownSetup", "ZKtKnownSetup" } };
	std::string m_flagPath = "HKEY_CURRENT_USER\\" + m_flag.Path() + "\\RebootPending";
	kt::CaptionWindows m_windows;
};

// Each registration held over the reboot runs once, with its exact words:
// a bare program beside the utility, through the real executable, and
// beside it an unquoted program path with spaces, registered twice.
TEST_F(RebootTest, PlainFormsRunEachFollowUpOnceAtTheReboot)
{
	const std::string caption = kt::UniqueName("KtPlain");
	ShowWindowThatSetsTheFlag(caption);
	std::vector<std::string> texts;
	ASSERT_TRUE(kt::RunUnderDebugger(
		"/c=" + caption + " /f=" + m_flagPath + " \"/n=kt_record.exe follow-up \\\"a b\\\" c\"", 120000, &texts));
	const std::string plain = "\"" + kt::LongPath(kt::BinPath("kt_record.exe")) + "\" follow-up \"a b\" c";
	EXPECT_EQ(std::vector<std::string>{ "REGISTERED: " + plain + "\n" }, texts);
	EXPECT_EQ(plain, Registered());
	EXPECT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending")) << "the flag was not consumed";
	EXPECT_TRUE(Records().empty()) << "the command ran although a reboot is pending";

	kt::ScratchDir dir;
	const std::string folder = kt::LongPath(dir.Path()) + "\\Kt Folder";
	ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
	ASSERT_TRUE(CopyFileA(kt::BinPath("kt_record.exe").c_str(), (folder + "\\kt record.exe").c_str(), FALSE));
	CWaitProcThread worker;
	for (int i = 0; i < 2; ++i)
		EXPECT_TRUE(worker.RegisterRestart((folder + "\\kt record.exe spaced \"x y\"").c_str(), TRUE, "Cap"));
	EXPECT_EQ("\"" + folder + "\\kt record.exe\" spaced \"x y\"", Registered("Vormelle 2"));
	EXPECT_EQ((std::vector<std::string>{ "Vormelle", "Vormelle 2" }), m_runOnce.Registrations());

	Reboot();
	for (const auto& args : { std::vector<std::string>{ "follow-up", "a b", "c" }, { "spaced", "x y" } })
	{
		std::vector<kt::Record> runs = m_record.AwaitRuns(60000, args[0].c_str());
		ASSERT_EQ(1u, runs.size()) << args[0];
		EXPECT_EQ(args, runs[0].args);
	}
}

// Windows runs the RunOnce entries one after another in no set order; Wine
// runs them by descending name. The known setup "ZKtKnownSetup" runs first:
// its window has come and gone before the restart line waits, which then
// runs its follow-up once its appear timeout is over: the 30 s of the
// timeout option, which the relaunch hands on and the restart line carries,
// as it does the log. "KtKnownSetup" runs last: the other restart line sees
// its window come and go, then runs. The first registration goes through the
// relaunch, which hands the flag and the known commands to the new instance;
// registered, it ends with 3010.
TEST_F(RebootTest, RestartFormsRunTheFollowUpWhetherTheKnownSetupRanBeforeOrAfterThem)
{
	const std::string before = kt::UniqueName("KtBefore"), after = kt::UniqueName("KtAfter");
	kt::ScratchDir beforeFiles, afterFiles;
	for (const auto& [name, caption, files] :
		{ std::tuple<const char*, std::string, std::string>{ "ZKtKnownSetup", before, beforeFiles.Path() },
			{ "KtKnownSetup", after, afterFiles.Path() } })
		ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), name, REG_SZ,
			"\"" + kt::BinPath("kt_window.exe") + "\" --files \"" + files + "\" --caption \"" + caption + "\" 3000"
				+ '\0'));
	ShowWindowThatSetsTheFlag(before);
	kt::Job job;
	kt::Process launcher;
	// A short path: the restart line, which holds the build folder's path twice,
	// must stay within 260 characters with it.
	const std::string log = "C:\\kt" + std::to_string(GetCurrentProcessId()) + ".log";
	ASSERT_TRUE(launcher.Start(
		kt::KestruneCommand("/r /exitcode /timeout=30 \"/log=" + log + "\" /c=" + before + " /f=" + m_flagPath
			+ " /k=other.exe /k=KT_WINDOW.EXE \"/n=" + kt::RecordCommand() + " before \\\"two words\\\" C:\\dir\\\\\""),
		&job));
	ASSERT_TRUE(launcher.Wait(15000));
	EXPECT_EQ(0u, launcher.ExitCode());
	ASSERT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, 60000))
		<< "the new instance still runs";
	EXPECT_EQ(2u, job.Counts().TotalProcesses);
	EXPECT_NE(std::string::npos,
		Registered().find("Kestrune.exe\" /r /always /timeout=30 \"/log=" + log + "\" \"/c=" + before + "\" \"/n=\\\""))
		<< Registered();
	EXPECT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending")) << "the flag was not consumed";
	EXPECT_TRUE(Records().empty()) << "the command ran although a reboot is pending";
	CWaitProcThread worker;
	worker.m_astrKnownCommands.Add("kt_window.exe");
	EXPECT_TRUE(worker.RegisterRestart(kt::RecordCommand("after").c_str(), TRUE, after.c_str()));

	Reboot();
	std::vector<kt::Record> runs = m_record.AwaitRuns(30000, "after");
	ASSERT_EQ(1u, runs.size());
	const ULONGLONG goneAt = strtoull(kt::ReadText(afterFiles.File("gone")).c_str(), NULL, 10);
	EXPECT_TRUE(kt::Within((LONGLONG)(runs[0].startMs - goneAt), 900, 8000)) << "from the window's end";
	runs = m_record.AwaitRuns(120000, "before");
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "before", "two words", "C:\\dir\\" }), runs[0].args);
	const ULONGLONG setupGoneAt = strtoull(kt::ReadText(beforeFiles.File("gone")).c_str(), NULL, 10);
	EXPECT_TRUE(kt::Within((LONGLONG)(runs[0].startMs - setupGoneAt), 29000, 59000)) << "from the setup's end";
	for (const char* event : { "] exit code 3010\r", "] window never appeared", "] follow-up started" })
		EXPECT_NE(std::string::npos, kt::ReadText(log).find(event)) << event;
	DeleteFileA(log.c_str());
}

// A consumed flag must not lose the command: one that cannot be registered
// runs now, even where nothing may run at once without a reboot pending. An
// empty command has nothing to register or run.
TEST_F(RebootTest, RegistrationThatFailsRunsTheCommandNow)
{
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtKnownSetup", REG_SZ, std::string("known.exe /x", 13)));
	kt::DebugCapture capture;
	ASSERT_TRUE(capture.IsApplied());
	for (const char* what : { "longer than 260 characters", "memory runs out", "empty" })
	{
		SCOPED_TRACE(what);
		const bool outOfMemory = what[0] == 'm', empty = what[0] == 'e';
		const std::string last = what[0] == 'l' ? std::string(260, 'w') : "now";
		const std::string command = empty ? "" : kt::RecordCommand(last);
		// Once the key is created, the registration's next allocation fails.
		KT_STAND_IN(patch, "ADVAPI32.dll", RegCreateKeyExA, nullptr,
			[&](LONG&, auto...) { kt::FailAllocation(outOfMemory ? 1 : 0); });
		ASSERT_TRUE(kt::SetDword(m_flag.Key(), "RebootPending", 1));
		ASSERT_TRUE(NewWorker("", command));
		m_pWorker->m_bRunAlways = TRUE;
		m_pWorker->m_bNoImmediateRun = TRUE;
		m_pWorker->m_strRebootFlag = m_flagPath.c_str();
		m_pWorker->m_astrKnownCommands.Add("KNOWN.EXE");
		capture.Clear();
		Resume();
		ASSERT_TRUE(WaitDone(20000));
		EXPECT_TRUE(StopAfterReport());
		kt::FailAllocation(0);
		EXPECT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending")) << "the flag was not consumed";
		EXPECT_EQ("(none)", Registered());
		const std::vector<std::string> lines = { "NOT REGISTERED: " + command + "\n", "SUCCESS: " + command + "\n" };
		EXPECT_EQ(empty ? std::vector<std::string>{} : lines, capture.Lines());
		std::vector<kt::Record> runs = Records();
		ASSERT_EQ(what[0] == 'l' ? 1u : 2u, runs.size());
		EXPECT_EQ(std::vector<std::string>{ last }, runs.back().args);
	}
}
