// The whole path over a reboot: a pending reboot makes the worker register the
// follow-up under RunOnce, and "wineboot -r" then runs RunOnce entries as a
// restart does.
#include "WorkerFixture.h"

class RebootTest : public WorkerFixture
{
protected:
	void SetUp() override
	{
		WorkerFixture::SetUp();
		m_hRunOnce = m_runOnce.Key();
	}

	// A worker that finds the reboot pending and registers command; it reports
	// once it has. It skips its wait, or with a window waits for it to come
	// and go.
	void Register(const std::string& caption, const std::string& command, const char* known, bool window = false,
		BOOL noImmediateRun = FALSE)
	{
		ASSERT_TRUE(kt::SetDword(m_flag.Key(), "RebootPending", 1));
		kt::CaptionWindows windows;
		if (window)
		{
			ASSERT_TRUE(windows.Start(caption, "2000"));
		}
		CWaitProcThread* pWorker = NewWorker(window ? caption : "", command);
		ASSERT_NE(nullptr, pWorker);
		pWorker->m_bRunAlways = !window;
		pWorker->m_bNoImmediateRun = noImmediateRun;
		pWorker->m_strCaption = caption.c_str();
		pWorker->m_strRebootFlag = ("HKEY_CURRENT_USER\\" + m_flag.Path() + "\\RebootPending").c_str();
		if (known != nullptr)
			pWorker->m_astrKnownCommands.Add(known);
		Resume(pWorker);
		ASSERT_TRUE(WaitDone(20000));
		EXPECT_TRUE(StopAfterReport(pWorker));
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
		EXPECT_FALSE(kt::ValueExists(m_hRunOnce, "Vormelle"));
	}

	std::vector<kt::Record> FollowUps() { return kt::ReadRecords(m_recordFile, "follow-up"); }

	kt::ScratchKey m_flag{ HKEY_CURRENT_USER };
	kt::RunOnceKey m_runOnce{ { "KtKnownSetup" } };
	HKEY m_hRunOnce = NULL;
};

TEST_F(RebootTest, KnownSetupPendingRegistersTheRestartFormWhichWaitsForTheCaptionAfterTheReboot)
{
	std::string caption = kt::UniqueName("KtAfterReboot");
	std::string recorder = kt::BinPath("kt_record.exe");
	ASSERT_TRUE(kt::SetValue(m_hRunOnce, "KtKnownSetup", REG_SZ, "\"" + recorder + "\" known-setup" + '\0'));
	Register(caption, "\"" + recorder + "\" follow-up \"two words\" C:\\dir\\", "KT_RECORD.EXE");
	std::string line = Registered();
	EXPECT_NE(std::string::npos, line.find("Kestrune.exe\" /r \"/c=" + caption + "\" \"/n=\\\"")) << line;

	Reboot();
	// The known setup ran; the follow-up waits for its window.
	kt::PumpFor(2000);
	EXPECT_EQ(1u, Records().size());
	EXPECT_TRUE(FollowUps().empty());

	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption + " - after reboot", "2000"));
	ASSERT_TRUE(windows.WaitGone(20000));
	ASSERT_TRUE(kt::PumpUntil([&] { return !FollowUps().empty(); }, 30000));
	kt::PumpFor(2000);
	ASSERT_EQ(1u, FollowUps().size());
	EXPECT_EQ((std::vector<std::string>{ "follow-up", "two words", "C:\\dir\\" }), FollowUps()[0].args);
}

// Registered instead of run: with no wait, after the window came and went,
// and also where nothing may run at once.
TEST_F(RebootTest, PlainFormRunsTheFollowUpOnceAtTheReboot)
{
	std::string recorder = kt::BinPath("kt_record.exe");
	for (int row = 0; row < 3; ++row)
	{
		SCOPED_TRACE(row);
		Register(kt::UniqueName("KtPlain"), recorder + " follow-up \"a b\" c", nullptr, row > 0, row == 2);
		EXPECT_EQ("\"" + recorder + "\" follow-up \"a b\" c", Registered());
	}
	Reboot();
	ASSERT_TRUE(kt::PumpUntil([&] { return !FollowUps().empty(); }, 30000));
	kt::PumpFor(1000);
	ASSERT_EQ(1u, FollowUps().size());
	EXPECT_EQ((std::vector<std::string>{ "follow-up", "a b", "c" }), FollowUps()[0].args);
}
