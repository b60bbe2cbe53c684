#include "WorkerFixture.h"

void WorkerFixture::SetUp()
{
	kt::DropThreadMessages();
	m_owner.m_nThreadID = GetCurrentThreadId();
	m_recordFile = m_dir.File("record.txt");
	kt::SetRecordFile(m_recordFile);
}

void WorkerFixture::TearDown()
{
	if (m_hThread != NULL)
		CloseHandle(m_hThread);
}

CWaitProcThread* WorkerFixture::NewWorker(const std::string& caption, const std::string& command)
{
	CWaitProcThread* pWorker = static_cast<CWaitProcThread*>(AfxBeginThread(
		RUNTIME_CLASS(CWaitProcThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
	if (pWorker == NULL)
		return NULL;
	DuplicateHandle(GetCurrentProcess(), pWorker->m_hThread, GetCurrentProcess(), &m_hThread, 0, FALSE,
		DUPLICATE_SAME_ACCESS);
	m_nWorkerId = pWorker->m_nThreadID;
	if (!caption.empty())
		pWorker->SetWaitCaption(caption.c_str());
	pWorker->SetNotifyThread(&m_owner);
	pWorker->SetCommand(command.c_str(), FALSE);
	return pWorker;
}

void WorkerFixture::WaitOnProcess(CWaitProcThread* pWorker, const kt::Process& process, int nWaitType,
	const std::string& caption)
{
	DuplicateHandle(GetCurrentProcess(), process.Handle(), GetCurrentProcess(), &pWorker->m_hWaitProcess, 0, FALSE,
		DUPLICATE_SAME_ACCESS);
	pWorker->m_nWaitType = nWaitType;
	if (!caption.empty())
		pWorker->m_strCaption = caption.c_str();
}

void WorkerFixture::Resume(CWaitProcThread* pWorker)
{
	m_resumedAt = GetTickCount64();
	pWorker->ResumeThread();
}

bool WorkerFixture::WaitDone(DWORD timeoutMs, ULONGLONG* pAt)
{
	MSG msg;
	if (!kt::WaitForThreadMessage(WM_WAITPROC_DONE, &msg, timeoutMs))
		return false;
	if (pAt != nullptr)
		*pAt = GetTickCount64();
	EXPECT_EQ((LPARAM)m_nWorkerId, msg.lParam);
	return true;
}

void WorkerFixture::StopAfterReport(CWaitProcThread* pWorker)
{
	pWorker->Stop(TRUE);
	EXPECT_TRUE(ThreadEnded(0));
}

std::string WorkerFixture::RecordCommand(const std::string& args) const
{
	return "\"" + kt::BinPath("kt_record.exe") + "\"" + (args.empty() ? "" : " " + args);
}
