// The follow-up launch as a debugger sees it: one whole line per started
// command, and the utility's exit code; a relaunch that cannot be started
// writes its line too.
#include <gtest/gtest.h>

#include "TestSupport.h"

TEST(FollowUpTest, OneWholeLinePerCommandAndExitCodeZero)
{
	kt::RecordFile record;
	// The launcher's quotes around the program are its own: the utility
	// receives the path without them.
	const std::string recorder = kt::BinPath("kt_record.exe");
	// Trailing backslashes are doubled in the new instance's line: past 32,767 characters.
	const std::string backslashes(16500, '\\');
	const struct
	{
		std::string next, text; // text: the one debug line; none when empty
		size_t runs;            // of kt_record so far
		bool relaunch = false;
	} rows[] = {
		{ recorder + " --sleep 200 x", "SUCCESS: " + recorder + " --sleep 200 x\n", 1 },
		{ "Z:\\kt-no-such-folder\\nope.exe /s \"a b\"", "ERROR: Z:\\kt-no-such-folder\\nope.exe /s a b\n", 1 },
		{ recorder + " " + std::string(20000, 'w'), "SUCCESS: " + recorder + " " + std::string(20000, 'w') + "\n", 2 },
		{ "", "", 2 }, // an empty command starts nothing
		{ "x" + backslashes,
			"ERROR: \"" + kt::BinPath("Kestrune.exe") + "\" \"/c=@\" \"/n=x" + backslashes + backslashes + "\"\n", 2,
			true },
	};
	for (const auto& row : rows)
	{
		SCOPED_TRACE(row.next.substr(0, 80));
		std::string caption = kt::UniqueName("KtFollow");
		kt::CaptionWindows windows;
		ASSERT_TRUE(windows.Start(caption, 2000));
		if (row.relaunch)
			caption = "@";
		// Generous: a busy machine took over a minute for the 20,000-character
		// row; the bound is for a utility that never ends.
		std::vector<std::string> texts;
		ASSERT_TRUE(
			kt::RunUnderDebugger((row.relaunch ? "/r /c=" : "/c=") + caption + " /n=" + row.next, 180000, &texts));
		ASSERT_EQ(row.text.empty() ? 0u : 1u, texts.size());
		EXPECT_TRUE(row.text.empty() || row.text == texts[0])
			<< "got " << texts[0].size() << " bytes: " << texts[0].substr(0, 80);
		EXPECT_EQ(row.runs, record.Runs().size());
	}
}
