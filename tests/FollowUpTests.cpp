// The follow-up launch as a debugger sees it: one whole line per started
// command, and the utility's exit code.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TestSupport.h"

class FollowUpTest : public ::testing::Test
{
protected:
	void SetUp() override { kt::SetRecordFile(m_dir.File("record.txt")); }

	// Runs Kestrune.exe under the debugger for a caption window shown briefly.
	kt::DebugRun RunAfterWindow(const std::string& nextArgs)
	{
		std::string caption = kt::UniqueName("KtFollow");
		kt::CaptionWindows windows;
		EXPECT_TRUE(windows.Start(caption, "500"));
		return kt::RunUnderDebugger("/c=" + caption + " /n=" + nextArgs, 60000);
	}

	kt::ScratchDir m_dir;
};

TEST_F(FollowUpTest, StartedCommandGivesOneSuccessLine)
{
	// The launcher's quotes around the program are its own: the utility
	// receives the path without them.
	std::string command = kt::BinPath("kt_record.exe") + " --sleep 200 x";
	kt::DebugRun run = RunAfterWindow(command);
	ASSERT_TRUE(run.ended);
	EXPECT_EQ(0u, run.exitCode);
	ASSERT_EQ(1u, run.texts.size());
	EXPECT_EQ("SUCCESS: " + command + "\n", run.texts[0]);
	EXPECT_EQ(1u, kt::ReadRecords(m_dir.File("record.txt")).size());
}

TEST_F(FollowUpTest, CommandThatCannotStartGivesOneErrorLine)
{
	kt::DebugRun run = RunAfterWindow("Z:\\kt-no-such-folder\\nope.exe /s \"a b\"");
	ASSERT_TRUE(run.ended);
	EXPECT_EQ(0u, run.exitCode);
	ASSERT_EQ(1u, run.texts.size());
	EXPECT_EQ("ERROR: Z:\\kt-no-such-folder\\nope.exe /s a b\n", run.texts[0]);
}

TEST_F(FollowUpTest, LongCommandLineIsWrittenWhole)
{
	for (size_t length : { 300u, 20000u })
	{
		std::string command = kt::BinPath("kt_record.exe") + " " + std::string(length, 'w');
		kt::DebugRun run = RunAfterWindow(command);
		ASSERT_TRUE(run.ended);
		ASSERT_EQ(1u, run.texts.size());
		EXPECT_TRUE("SUCCESS: " + command + "\n" == run.texts[0])
			<< "got " << run.texts[0].size() << " bytes: " << run.texts[0].substr(0, 80) << "...";
	}
}

TEST_F(FollowUpTest, EmptyCommandStartsNothingAndWritesNoLine)
{
	kt::DebugRun run = RunAfterWindow("");
	ASSERT_TRUE(run.ended);
	EXPECT_EQ(0u, run.exitCode);
	EXPECT_TRUE(run.texts.empty()) << run.texts[0];
}
