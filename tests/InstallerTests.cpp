// The utility with a real installer engine: NSIS installers built by makensis,
// whose wizard shows for three seconds and closes by itself.
#include "TestSupport.h"

// One installer chains its follow-up with ExecWait on Kestrune.exe /r: held up,
// it would wait for a utility that waits for its own window. In the other a
// launcher starts the utility, then the watched installer: a utility holding the
// launcher up would wait its minute for a wizard started only after it. The
// follow-up comes two absent probes 500 ms apart after the wizard was last seen.
TEST(InstallerTest, FollowUpRunsOnceAfterTheWizardIsGone)
{
	const std::tuple<std::string, std::string, std::vector<std::string>> rows[] = {
		{ "\"" + kt::BinPath("kt_chain_setup.exe") + "\"", "Kt Chain Setup",
			{ "after-setup", "two words", "C:\\dir\\" } },
		{ "cmd.exe /c \"" + kt::BinPath("kt_launch.cmd") + "\"", "Kt Watched Setup", { "after-watched", "a b" } },
	};
	for (const auto& [command, caption, args] : rows)
	{
		SCOPED_TRACE(caption);
		kt::RecordFile record;
		kt::Process launcher;
		ASSERT_TRUE(launcher.Start(command));
		const auto shown = [&] { return !kt::TopLevelWindows(caption).empty(); };
		ASSERT_TRUE(kt::PumpUntil(shown, 20000)) << "no wizard: the launcher was held up";
		ULONGLONG shownAt = GetTickCount64(), lastSeenAt = shownAt;
		ASSERT_TRUE(kt::PumpUntil([&] { return shown() ? (lastSeenAt = GetTickCount64(), false) : true; }, 30000));
		EXPECT_TRUE(kt::Within(lastSeenAt - shownAt, 2000, 30000)) << "the wizard shows for its three seconds";
		EXPECT_TRUE(record.Runs().empty()) << "the follow-up ran while the wizard was up";
		ASSERT_TRUE(launcher.Wait(30000)) << "the installer was held up";
		EXPECT_EQ(0u, launcher.ExitCode());
		std::vector<kt::Record> runs = record.AwaitRuns(20000);
		ASSERT_EQ(1u, runs.size());
		EXPECT_EQ(args, runs[0].args);
		EXPECT_TRUE(kt::Within(runs[0].startMs - lastSeenAt, 950, 6000)) << "ms from the wizard's end to the follow-up";
	}
}
