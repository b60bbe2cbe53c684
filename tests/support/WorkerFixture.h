// A fixture that runs one CWaitProcThread with the test thread as its owner,
// the way the application does, and a follow-up command that records itself.
#pragma once

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

class WorkerFixture : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// A suspended worker reporting to this thread, waiting for caption (none
	// when empty) and then running command.
	CWaitProcThread* NewWorker(const std::string& caption, const std::string& command);
	// Makes the suspended worker wait for process first (wait type 1, or 3
	// with caption), through a handle of its own.
	void WaitOnProcess(CWaitProcThread* pWorker, const kt::Process& process, int nWaitType,
		const std::string& caption = "");
	// Resumes the worker and notes the time.
	void Resume(CWaitProcThread* pWorker);
	// Waits for WM_WAITPROC_DONE from the worker; the tick it came at.
	bool WaitDone(DWORD timeoutMs, ULONGLONG* pAt = nullptr);
	// After the report: stops the worker and waits for its thread's end.
	void StopAfterReport(CWaitProcThread* pWorker);
	bool ThreadEnded(DWORD timeoutMs) { return WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0; }

	// A command line that runs kt_record with args; its runs are Records().
	std::string RecordCommand(const std::string& args = "") const;
	std::vector<kt::Record> Records() const { return kt::ReadRecords(m_recordFile); }

	CWinThread m_owner;
	HANDLE m_hThread = NULL;
	DWORD m_nWorkerId = 0;
	ULONGLONG m_resumedAt = 0;
	kt::ScratchDir m_dir;
	std::string m_recordFile;
};
