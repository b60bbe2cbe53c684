// A fixture that runs one CWaitProcThread with the test thread as its owner,
// the way the application does, and a follow-up command that records itself.
#pragma once

#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

class WorkerFixture : public ::testing::Test
{
protected:
	void SetUp() override
	{
		kt::DropThreadMessages();
		m_owner.m_nThreadID = GetCurrentThreadId();
	}

	// m_pWorker: a suspended worker of pClass reporting to this thread,
	// waiting for caption (none when empty) and then running command.
	// m_hThread keeps a handle of its thread that outlives the object.
	::testing::AssertionResult NewWorker(
		const std::string& caption, const std::string& command, CRuntimeClass* pClass = RUNTIME_CLASS(CWaitProcThread));
	// Makes the suspended worker wait for process first (waitProcess, or
	// waitProcessThenCaption with its caption), through a handle of its own.
	void WaitOnProcess(const kt::Process& process, int nWaitType);
	void Resume()
	{
		m_resumedAt = GetTickCount64();
		m_pWorker->ResumeThread();
	}
	// Waits for message (WM_WAITPROC_DONE) from the worker; m_doneAt gets the tick it came at.
	::testing::AssertionResult WaitDone(DWORD timeoutMs, UINT message = WM_WAITPROC_DONE);
	// After the report: stops the worker; success when its thread has ended.
	::testing::AssertionResult StopAfterReport();
	bool ThreadEnded(DWORD timeoutMs) { return WaitForSingleObject(m_hThread, timeoutMs) == WAIT_OBJECT_0; }

	// The runs of kt::RecordCommand lines started since the fixture was set up.
	std::vector<kt::Record> Records() const { return m_record.Runs(); }

	CWinThread m_owner; // stands for the application's main thread
	CWaitProcThread* m_pWorker = nullptr;
	CHandle m_hThread;
	DWORD m_nWorkerId = 0;
	ULONGLONG m_resumedAt = 0, m_doneAt = 0;
	kt::RecordFile m_record;
};
