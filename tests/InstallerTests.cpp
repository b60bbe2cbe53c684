// The utility with a real installer engine: NSIS installers built by makensis,
// whose wizard shows for three seconds and closes by itself.
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

// The installer chains its follow-up with ExecWait on Kestrune.exe /r: were it
// held up, it would wait for a utility that waits for its own window.
TEST(InstallerTest, InstallerChainsTheFollowUpThatRunsOnceAfterItsWizardIsGone)
{
	kt::RecordFile record;
	kt::Process setup;
	ULONGLONG startedAt = GetTickCount64();
	ASSERT_TRUE(setup.Start("\"" + kt::BinPath("kt_chain_setup.exe") + "\""));
	ASSERT_TRUE(setup.Wait(30000)) << "the installer was held up";
	ULONGLONG goneAt = GetTickCount64();
	EXPECT_EQ(0u, setup.ExitCode());
	EXPECT_TRUE(kt::Within(goneAt - startedAt, 3000, 30000)) << "the wizard shows for its three seconds";
	EXPECT_TRUE(record.Runs().empty()) << "the follow-up ran while the wizard was up";

	std::vector<kt::Record> runs = record.AwaitRuns(20000);
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "after-setup", "two words", "C:\\dir\\" }), runs[0].args);
	EXPECT_TRUE(kt::Within(runs[0].startMs - goneAt, 950, 6000)) << "two absent probes 500 ms apart come first";
}

TEST(InstallerTest, LauncherStartsTheUtilityThenTheWatchedInstaller)
{
	kt::RecordFile record;
	// A utility that held the launcher up would wait its minute for a wizard
	// that the launcher starts only after it.
	kt::Process launcher;
	ASSERT_TRUE(launcher.Start("cmd.exe /c \"" + kt::BinPath("kt_launch.cmd") + "\""));
	ASSERT_TRUE(launcher.Wait(40000)) << "the launcher was held up";

	std::string caption = "Kt Watched Setup";
	CWaitProcThread probe;
	ASSERT_TRUE(kt::PumpUntil([&] { return probe.FindCaptionWindow(caption.c_str()) != NULL; }, 20000));
	EXPECT_TRUE(record.Runs().empty()) << "the follow-up ran while the wizard was up";
	ASSERT_TRUE(kt::PumpUntil([&] { return probe.FindCaptionWindow(caption.c_str()) == NULL; }, 30000));
	ULONGLONG goneAt = GetTickCount64();
	std::vector<kt::Record> runs = record.AwaitRuns(20000);
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "after-watched", "a b" }), runs[0].args);
	EXPECT_TRUE(kt::Within(runs[0].startMs - goneAt, -50, 6000)) << "ms from the wizard's end to the follow-up";
}
