// The caption probe against real top-level windows of another process.
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

TEST(CaptionProbeTest, MatchesOnlyTheBeginningOfACaptionInAnyCase)
{
	std::string id = kt::UniqueName("KtProbe");
	kt::CaptionWindows shown, hidden;
	ASSERT_TRUE(shown.Start(id + " Setup Wizard", 60000, false, 3)); // three alike
	ASSERT_TRUE(hidden.Start("Hidden " + id, 60000, true));
	CWaitProcThread worker;
	const std::pair<std::string, bool> cases[] = {
		{ id + " Setup", true }, { id + " SETUP wizard", true },          // the whole caption, other case
		{ id + " setup wizarD", true }, { id + " Setup Wizard!", false }, // longer than the caption
		{ id + " Setup Wizards", false }, { id + " Setup Wizar_", false },
		{ id.substr(1), false },                             // the same letters, further on
		{ "Hidden " + id, true },                            // hidden windows count
		{ "hidden " + id.substr(0, 4), true }, { "", true }, // an empty prefix matches any window
	};
	for (const auto& [prefix, found] : cases)
		EXPECT_EQ(found, worker.FindCaptionWindow(prefix.c_str()) != NULL) << "prefix [" << prefix << "]";
	EXPECT_EQ(nullptr, worker.FindCaptionWindow(NULL));
	// A caption that cannot be read for want of memory makes a failed probe.
	for (long fail : { 0, 1 })
	{
		BOOL failed = !fail;
		kt::FailAllocation(fail);
		worker.FindCaptionWindow(id.c_str(), &failed);
		kt::FailAllocation(0);
		EXPECT_EQ(fail, failed) << "allocation " << fail << " failed";
	}
	// Of several matches the last in the window list (by this test's own walk)
	// is given; once they are gone, none.
	EXPECT_EQ(kt::TopLevelWindows(id).back(), worker.FindCaptionWindow(id.c_str()));
	shown.Close();
	EXPECT_TRUE(kt::PumpUntil([&] { return worker.FindCaptionWindow(id.c_str()) == NULL; }, 10000));
}
