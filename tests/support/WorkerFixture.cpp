#include "WorkerFixture.h"

::testing::AssertionResult WorkerFixture::NewWorker(
	const std::string& caption, const std::string& command, CRuntimeClass* pClass)
{
	m_pWorker = static_cast<CWaitProcThread*>(AfxBeginThread(pClass, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
	if (m_pWorker == NULL)
		return ::testing::AssertionFailure() << "AfxBeginThread failed";
	m_hThread.Attach(kt::Duplicate(m_pWorker->m_hThread));
	m_nWorkerId = m_pWorker->m_nThreadID;
	if (!caption.empty())
		m_pWorker->SetWaitCaption(caption.c_str());
	m_pWorker->SetNotifyThread(&m_owner);
	m_pWorker->SetCommand(command.c_str(), FALSE);
	return ::testing::AssertionSuccess();
}

void WorkerFixture::WaitOnProcess(const kt::Process& process, int nWaitType)
{
	m_pWorker->m_hWaitProcess = kt::Duplicate(process.Handle());
	m_pWorker->m_nWaitType = nWaitType;
}

::testing::AssertionResult WorkerFixture::WaitDone(DWORD timeoutMs, UINT message)
{
	MSG msg;
	if (!kt::WaitForThreadMessage(message, &msg, timeoutMs))
		return ::testing::AssertionFailure() << "no report " << message << " within " << timeoutMs << " ms";
	m_doneAt = GetTickCount64();
	if (msg.wParam != 0 || msg.lParam != (LPARAM)m_nWorkerId)
		return ::testing::AssertionFailure()
			<< "report with wParam " << msg.wParam << ", lParam " << msg.lParam << "; the worker is " << m_nWorkerId;
	return ::testing::AssertionSuccess();
}

::testing::AssertionResult WorkerFixture::StopAfterReport()
{
	m_pWorker->Stop(TRUE);
	return ThreadEnded(0) ? ::testing::AssertionSuccess()
						  : ::testing::AssertionFailure() << "Stop(TRUE) returned before the thread ended";
}
