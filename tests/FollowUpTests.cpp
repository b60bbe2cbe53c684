// The follow-up launch as a debugger sees it: one whole line per started
// command, and the utility's exit code; a relaunch that cannot be started
// writes its line too.
#include "TestSupport.h"

TEST(FollowUpTest, OneWholeLinePerCommandAndExitCodeZero)
{
	kt::RecordFile record;
	// The launcher's quotes around the program are its own: the utility
	// receives the path without them.
	const std::string recorder = kt::BinPath("kt_record.exe");
	// Trailing backslashes are doubled in the new instance's line: past 32,767 characters.
	const std::string backslashes(16500, '\\'), words = recorder + " " + std::string(20000, 'w');
	// The next command, the one debug line (none when empty), kt_record's runs
	// so far, and whether the command goes through a new instance.
	const std::tuple<std::string, std::string, size_t, bool> rows[] = {
		{ recorder + " --sleep 200 x", "SUCCESS: " + recorder + " --sleep 200 x\n", 1, false },
		{ "Z:\\kt-no-such-folder\\nope.exe /s \"a b\"", "ERROR: Z:\\kt-no-such-folder\\nope.exe /s a b\n", 1, false },
		{ words, "SUCCESS: " + words + "\n", 2, false },
		{ "", "", 2, false }, // an empty command starts nothing
		{ "x" + backslashes,
			"ERROR: \"" + kt::BinPath("Kestrune.exe") + "\" \"/c=@\" \"/n=x" + backslashes + backslashes + "\"\n", 2,
			true },
	};
	for (const auto& [next, text, runs, relaunch] : rows)
	{
		SCOPED_TRACE(next.substr(0, 80));
		const std::string caption = kt::UniqueName("KtFollow");
		kt::CaptionWindows windows;
		ASSERT_TRUE(windows.Start(caption, 2000));
		// Generous: a busy machine took over a minute for the 20,000-character
		// row; the bound is for a utility that never ends.
		std::vector<std::string> texts;
		ASSERT_TRUE(kt::RunUnderDebugger((relaunch ? "/r /c=@" : "/c=" + caption) + " /n=" + next, 180000, &texts));
		ASSERT_EQ(text.empty() ? 0u : 1u, texts.size());
		EXPECT_TRUE(text.empty() || text == texts[0])
			<< "got " << texts[0].size() << " bytes: " << texts[0].substr(0, 80);
		EXPECT_EQ(runs, record.Runs().size());
	}
}
