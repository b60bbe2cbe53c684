// The wait procedure with real windows and processes. This program's string
// table gives 4 s for a window to appear and 1 s for it to stay away.
#include "WorkerFixture.h"

class WaitProcedureTest : public WorkerFixture
{
protected:
	std::string Caption() { return kt::UniqueName("KtWait"); }
};

TEST_F(WaitProcedureTest, WindowAlreadyThereThenGoneRunsTheCommandAfterTwoAbsentProbes)
{
	kt::EndListener listener;
	ASSERT_TRUE(listener.Start(60000));
	std::string caption = Caption();
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption + " - Setup", "1500"));
	CWaitProcThread* pWorker = NewWorker(caption, RecordCommand("--sleep 1000 one \"two words\""));
	ASSERT_NE(nullptr, pWorker);
	Resume(pWorker);

	ASSERT_TRUE(windows.WaitGone(20000));
	ULONGLONG goneAt = windows.VanishStartAt();
	ULONGLONG doneAt = 0;
	ASSERT_TRUE(WaitDone(20000, &doneAt));
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(1u, runs.size());
	EXPECT_EQ((std::vector<std::string>{ "--sleep", "1000", "one", "two words" }), runs[0].args);
	// Two absent probes 500 ms apart, each followed by its sleep.
	EXPECT_GE(runs[0].startMs + 50, goneAt + 1000)
		<< "started " << (LONGLONG)(runs[0].startMs - goneAt) << " ms after the vanish";
	EXPECT_GE(doneAt, runs[0].endMs) << "the owner was told before the command ended";

	std::vector<std::string> heard = listener.Received();
	ASSERT_EQ(1u, heard.size());
	ULONGLONG heardAt = 0;
	unsigned long w = 9, l = 9;
	sscanf(heard[0].c_str(), "%llu %lu %lu", &heardAt, &w, &l);
	EXPECT_EQ(0ul, w);
	EXPECT_EQ(0ul, l);
	EXPECT_LE(heardAt, runs[0].startMs + 50) << "the broadcast comes before the command";
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, WindowThatAppearsLater)
{
	std::string caption = Caption();
	CWaitProcThread* pWorker = NewWorker(caption, RecordCommand());
	ASSERT_NE(nullptr, pWorker);
	Resume(pWorker);
	kt::PumpFor(1500);
	EXPECT_TRUE(Records().empty());
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption, "1000"));
	ASSERT_TRUE(WaitDone(20000));
	EXPECT_EQ(1u, Records().size());
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, NoWindowFailsAfterTheAppearTimeoutBroadcastsAndRunsNothing)
{
	kt::EndListener listener;
	ASSERT_TRUE(listener.Start(60000));
	CWaitProcThread* pWorker = NewWorker(Caption(), RecordCommand());
	ASSERT_NE(nullptr, pWorker);
	Resume(pWorker);
	ULONGLONG doneAt = 0;
	ASSERT_TRUE(WaitDone(30000, &doneAt));
	EXPECT_GE(doneAt - m_resumedAt, 3900u) << "8 probes of 500 ms";
	EXPECT_TRUE(kt::PumpUntil([&] { return listener.Received().size() == 1; }, 5000));
	EXPECT_TRUE(Records().empty()) << "the command ran after a failed wait";
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, RunAlwaysRunsTheCommandAfterAFailedWait)
{
	CWaitProcThread* pWorker = NewWorker(Caption(), RecordCommand());
	ASSERT_NE(nullptr, pWorker);
	pWorker->m_bRunAlways = TRUE;
	Resume(pWorker);
	ASSERT_TRUE(WaitDone(30000));
	EXPECT_EQ(1u, Records().size());
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, ShortAbsencesRestartTheVanishCount)
{
	std::string caption = Caption();
	kt::CaptionWindows windows;
	// Gaps shorter than one poll: at most one probe falls into each.
	ASSERT_TRUE(windows.Start(caption, "800,350,800,350,800,350,800,350,800"));
	CWaitProcThread* pWorker = NewWorker(caption, RecordCommand());
	ASSERT_NE(nullptr, pWorker);
	Resume(pWorker);
	ASSERT_TRUE(windows.WaitGone(30000));
	ULONGLONG goneAt = windows.VanishStartAt();
	ASSERT_TRUE(WaitDone(20000));
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(1u, runs.size());
	EXPECT_GE(runs[0].startMs + 50, goneAt + 1000)
		<< "started " << (LONGLONG)(runs[0].startMs - goneAt) << " ms after the final vanish";
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, CommandThatCannotStartIsReportedPromptly)
{
	std::string caption = Caption();
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption, "300"));
	CWaitProcThread* pWorker = NewWorker(caption, "Z:\\kt-no-such-folder\\nope.exe /x");
	ASSERT_NE(nullptr, pWorker);
	Resume(pWorker);
	ASSERT_TRUE(windows.WaitGone(20000));
	ULONGLONG goneAt = GetTickCount64(), doneAt = 0;
	ASSERT_TRUE(WaitDone(20000, &doneAt));
	EXPECT_LT(doneAt - goneAt, 4000u);
	EXPECT_STREQ("Z:\\kt-no-such-folder\\nope.exe /x", (LPCSTR)pWorker->m_strCommand)
		<< "a command not started is kept";
	EXPECT_TRUE(StopAfterReport(pWorker));
}

// A stop request during each wait is noticed within a poll, and the worker
// still reports.
TEST_F(WaitProcedureTest, StopIsNoticedInEveryWait)
{
	struct Case
	{
		const char* name;
		int waitType;
		bool window;
		bool command;
	};
	const Case cases[] = {
		{ "appear phase", CWaitProcThread::waitCaption, false, false },
		{ "vanish phase", CWaitProcThread::waitCaption, true, false },
		{ "process wait", CWaitProcThread::waitProcess, false, false },
		{ "follow-up wait", CWaitProcThread::waitNone, false, true },
	};
	for (const Case& c : cases)
	{
		SCOPED_TRACE(c.name);
		std::string caption = Caption();
		kt::CaptionWindows windows;
		if (c.window)
		{
			ASSERT_TRUE(windows.Start(caption, "30000"));
		}
		kt::Process sleeper;
		ASSERT_TRUE(sleeper.Start(RecordCommand("--sleep 30000")));
		CWaitProcThread* pWorker = NewWorker(c.waitType == CWaitProcThread::waitCaption ? caption : "",
			c.command ? RecordCommand("--sleep 30000") : RecordCommand());
		ASSERT_NE(nullptr, pWorker);
		if (c.waitType == CWaitProcThread::waitProcess)
			WaitOnProcess(pWorker, sleeper, CWaitProcThread::waitProcess);
		pWorker->m_bRunAlways = c.command;
		Resume(pWorker);
		kt::PumpFor(1500);
		ULONGLONG stopAt = GetTickCount64(), doneAt = 0;
		pWorker->Stop(FALSE);
		ASSERT_TRUE(WaitDone(10000, &doneAt));
		EXPECT_LT(doneAt - stopAt, 2500u) << "one poll and one probe at most, with room for a slow machine";
		EXPECT_TRUE(ThreadEnded(5000)) << "the queued stop request ends the thread after the report";
		EXPECT_FALSE(sleeper.Wait(0)) << "the awaited process is not ended by the worker";
	}
}

TEST_F(WaitProcedureTest, ProcessWaitThenCommand)
{
	kt::Process waited;
	ASSERT_TRUE(waited.Start(RecordCommand("--sleep 1500 waited")));
	CWaitProcThread* pWorker = NewWorker("", RecordCommand("follow-up"));
	ASSERT_NE(nullptr, pWorker);
	WaitOnProcess(pWorker, waited, CWaitProcThread::waitProcess);
	Resume(pWorker);
	ASSERT_TRUE(WaitDone(20000));
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(2u, runs.size());
	EXPECT_EQ("waited", runs[0].args.back());
	EXPECT_EQ("follow-up", runs[1].args.back());
	EXPECT_GE(runs[1].startMs + 50, runs[0].endMs);
	EXPECT_EQ(nullptr, pWorker->m_hWaitProcess) << "closed after the broadcast";
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, ProcessThenCaptionWhereTheWindowShowsWhileTheProcessRuns)
{
	std::string caption = Caption();
	kt::Process waited;
	ASSERT_TRUE(waited.Start(RecordCommand("--sleep 30000 waited")));
	CWaitProcThread* pWorker = NewWorker("", RecordCommand("follow-up"));
	ASSERT_NE(nullptr, pWorker);
	WaitOnProcess(pWorker, waited, CWaitProcThread::waitProcessThenCaption, caption);
	Resume(pWorker);
	kt::PumpFor(1000);
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption, "1000"));
	ASSERT_TRUE(WaitDone(20000));
	EXPECT_TRUE(pWorker->m_bCaptionSeen);
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(1u, runs.size()) << "the follow-up runs while the awaited process still runs";
	EXPECT_EQ("follow-up", runs[0].args.back());
	EXPECT_FALSE(waited.Wait(0));
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, ProcessThenCaptionWhereTheProcessEndsFirst)
{
	std::string caption = Caption();
	kt::Process waited;
	ASSERT_TRUE(waited.Start(RecordCommand("--sleep 300 waited")));
	CWaitProcThread* pWorker = NewWorker("", RecordCommand("follow-up"));
	ASSERT_NE(nullptr, pWorker);
	WaitOnProcess(pWorker, waited, CWaitProcThread::waitProcessThenCaption, caption);
	Resume(pWorker);
	ASSERT_TRUE(waited.Wait(10000));
	kt::PumpFor(1500); // the appear phase is running now
	EXPECT_EQ(1u, Records().size());
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(caption, "800"));
	ASSERT_TRUE(WaitDone(20000));
	EXPECT_FALSE(pWorker->m_bCaptionSeen);
	EXPECT_EQ(2u, Records().size());
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, EndedProcessCountsEvenWithAStopAlreadyRequested)
{
	kt::Process waited;
	ASSERT_TRUE(waited.Start(RecordCommand("waited")));
	ASSERT_TRUE(waited.Wait(10000));
	CWaitProcThread* pWorker = NewWorker("", RecordCommand("follow-up"));
	ASSERT_NE(nullptr, pWorker);
	WaitOnProcess(pWorker, waited, CWaitProcThread::waitProcess);
	pWorker->m_bStopRequested = TRUE;
	Resume(pWorker);
	ASSERT_TRUE(WaitDone(20000));
	std::vector<kt::Record> runs = Records();
	ASSERT_EQ(2u, runs.size());
	EXPECT_EQ("follow-up", runs[1].args.back());
	EXPECT_TRUE(StopAfterReport(pWorker));
}

TEST_F(WaitProcedureTest, NoImmediateRunRunsNothing)
{
	CWaitProcThread* pWorker = NewWorker("", RecordCommand());
	ASSERT_NE(nullptr, pWorker);
	pWorker->m_bRunAlways = TRUE;
	pWorker->m_bNoImmediateRun = TRUE;
	Resume(pWorker);
	ASSERT_TRUE(WaitDone(20000));
	EXPECT_TRUE(Records().empty());
	EXPECT_TRUE(StopAfterReport(pWorker));
}
