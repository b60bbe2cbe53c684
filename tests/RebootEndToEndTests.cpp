// The whole path over a reboot: given a reboot flag, the utility registers
// the follow-up under RunOnce instead of running it once the watched window
// has set the flag, and "wineboot -r" then runs RunOnce entries as a restart
// does. A registration that fails runs the command at once.
#include "WorkerFixture.h"

static std::vector<std::string> s_debugTexts;
static void WINAPI CaptureDebugText(LPCWSTR text)
{
	s_debugTexts.push_back(kt::Narrow(text));
}

static void* s_createKey;
// RegCreateKeyExA, after which the registration's next allocation fails.
static LONG WINAPI CreateKeyThenMemoryRunsOut(HKEY hKey, LPCSTR lpSubKey, DWORD reserved, LPSTR lpClass, DWORD options,
	REGSAM sam, LPSECURITY_ATTRIBUTES sa, PHKEY phkResult, LPDWORD lpdwDisposition)
{
	LONG error = ((decltype(&RegCreateKeyExA))s_createKey)(
		hKey, lpSubKey, reserved, lpClass, options, sam, sa, phkResult, lpdwDisposition);
	kt::FailAllocation(1);
	return error;
}

class RebootTest : public WorkerFixture
{
protected:
	// The watched window, which sets the flag right before it closes, once the
	// utility waits. It shows for 5 s, so that a utility started late on a
	// busy machine still sees it.
	void ShowWindowThatSetsTheFlag(kt::CaptionWindows& windows, const std::string& caption)
	{
		ASSERT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending"));
		ASSERT_TRUE(windows.Start(caption, 5000, false, 1, m_flag.Path()));
	}

	// After the utility: the flag consumed, nothing run.
	void ExpectRegisteredNotRun()
	{
		EXPECT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending")) << "the flag was not consumed";
		EXPECT_TRUE(Records().empty()) << "the command ran although a reboot is pending";
	}

	std::string Registered() { return m_runOnce.Registered().c_str(); }

	// "wineboot -r": RunOnce entries run, one after the other, and are removed.
	void Reboot()
	{
		kt::Process wineboot;
		ASSERT_TRUE(wineboot.Start("wineboot.exe -r"));
		ASSERT_TRUE(wineboot.Wait(120000));
		EXPECT_FALSE(kt::ValueExists(m_runOnce.Key(), "Vormelle"));
	}

	kt::ScratchKey m_flag{ HKEY_CURRENT_USER };
	kt::RunOnceKey m_runOnce{ { "KtKnownSetup" } };
	std::string m_flagPath = "HKEY_CURRENT_USER\\" + m_flag.Path() + "\\RebootPending";
};

TEST_F(RebootTest, PlainFormRunsTheFollowUpOnceAtTheReboot)
{
	const std::string recorder = kt::BinPath("kt_record.exe");
	const std::string caption = kt::UniqueName("KtPlain");
	kt::CaptionWindows windows;
	ShowWindowThatSetsTheFlag(windows, caption);
	std::vector<std::string> texts;
	ASSERT_TRUE(kt::RunUnderDebugger(
		"/c=" + caption + " /f=" + m_flagPath + " \"/n=\\\"" + recorder + "\\\" follow-up \\\"a b\\\" c\"", 120000,
		&texts));
	const std::string plain = "\"" + kt::LongPath(recorder) + "\" follow-up \"a b\" c";
	EXPECT_EQ(std::vector<std::string>{ "REGISTERED: " + plain + "\n" }, texts);
	EXPECT_EQ(plain, Registered());
	ExpectRegisteredNotRun();

	Reboot();
	std::vector<kt::Record> runs = m_record.AwaitRuns(60000, "follow-up");
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "follow-up", "a b", "c" }), runs[0].args);
}

// Through the relaunch: the new instance receives the flag and the known commands.
TEST_F(RebootTest, KnownSetupPendingRegistersTheRestartFormWhichWaitsForTheCaptionAfterTheReboot)
{
	const std::string caption = kt::UniqueName("KtAfterReboot");
	const std::string recorder = kt::BinPath("kt_record.exe");
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtKnownSetup", REG_SZ, "\"" + recorder + "\" known-setup" + '\0'));
	kt::CaptionWindows windows;
	ShowWindowThatSetsTheFlag(windows, caption);
	kt::Job job;
	kt::Process launcher;
	ASSERT_TRUE(launcher.Start(
		kt::KestruneCommand("/r /c=" + caption + " /f=" + m_flagPath + " /k=other.exe /k=KT_RECORD.EXE \"/n=\\\""
			+ recorder + "\\\" follow-up \\\"two words\\\" C:\\dir\\\\\""),
		&job));
	ASSERT_TRUE(launcher.Wait(15000));
	EXPECT_EQ(0u, launcher.ExitCode());
	ASSERT_TRUE(kt::PumpUntil([&] { return job.Counts().ActiveProcesses == 0; }, 60000))
		<< "the new instance still runs";
	EXPECT_EQ(2u, job.Counts().TotalProcesses);
	std::string line = Registered();
	EXPECT_NE(std::string::npos, line.find("Kestrune.exe\" /r \"/c=" + caption + "\" \"/n=\\\"")) << line;
	ExpectRegisteredNotRun();

	Reboot();
	// The known setup ran; the follow-up waits for its window.
	kt::PumpFor(2000);
	EXPECT_EQ(1u, Records().size());
	EXPECT_TRUE(m_record.Runs("follow-up").empty());

	kt::CaptionWindows after;
	ASSERT_TRUE(after.Start(caption + " - after reboot", 2000));
	ASSERT_TRUE(after.WaitGone(20000));
	std::vector<kt::Record> runs = m_record.AwaitRuns(60000, "follow-up");
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "follow-up", "two words", "C:\\dir\\" }), runs[0].args);
}

// A consumed flag must not lose the command: one that cannot be registered
// runs now, even where nothing may run at once without a reboot pending.
TEST_F(RebootTest, RegistrationThatFailsRunsTheCommandNow)
{
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtKnownSetup", REG_SZ, std::string("known.exe /x", 13)));
	kt::ImportPatch capture("KERNEL32.dll", "OutputDebugStringW", (void*)&CaptureDebugText);
	ASSERT_TRUE(capture.IsApplied());
	for (bool outOfMemory : { false, true })
	{
		SCOPED_TRACE(outOfMemory ? "memory runs out" : "longer than 260 characters");
		const std::string last = outOfMemory ? "now" : std::string(260, 'w');
		const std::string command = kt::RecordCommand(last);
		kt::ImportPatch patch("ADVAPI32.dll", "RegCreateKeyExA",
			outOfMemory ? (void*)&CreateKeyThenMemoryRunsOut : nullptr, &s_createKey);
		ASSERT_EQ(outOfMemory, patch.IsApplied());
		ASSERT_TRUE(kt::SetDword(m_flag.Key(), "RebootPending", 1));
		ASSERT_TRUE(NewWorker("", command));
		m_pWorker->m_bRunAlways = TRUE;
		m_pWorker->m_bNoImmediateRun = TRUE;
		m_pWorker->m_strRebootFlag = m_flagPath.c_str();
		m_pWorker->m_astrKnownCommands.Add("KNOWN.EXE");
		s_debugTexts.clear();
		Resume();
		ASSERT_TRUE(WaitDone(20000));
		EXPECT_TRUE(StopAfterReport());
		kt::FailAllocation(0);
		EXPECT_FALSE(kt::ValueExists(m_flag.Key(), "RebootPending")) << "the flag was not consumed";
		EXPECT_EQ("(none)", Registered());
		EXPECT_EQ((std::vector<std::string>{ "NOT REGISTERED: " + command + "\n", "SUCCESS: " + command + "\n" }),
			s_debugTexts);
		std::vector<kt::Record> runs = Records();
		ASSERT_EQ(outOfMemory ? 2u : 1u, runs.size());
		EXPECT_EQ(std::vector<std::string>{ last }, runs.back().args);
	}
}
