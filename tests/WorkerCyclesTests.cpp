// A thousand workers in one process, one after the other: each waits on a
// process that has ended, runs its follow-up, reports and is stopped. What
// they leave behind, in handles and private bytes, stays within a slack.
#include "WorkerFixture.h"

namespace
{

// The open handles of this process. Where the system answers 0 (Wine), the
// handle values that name an open object, tried one by one.
DWORD HandleCount()
{
	DWORD count = 0;
	if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0)
		return count;
	for (ULONG_PTR value = 4; value < 0x10000; value += 4)
	{
		DWORD flags;
		count += GetHandleInformation((HANDLE)value, &flags) ? 1 : 0;
	}
	return count;
}

// The committed private memory of this process, region by region (Wine's
// process counters leave PrivateUsage at 0).
SIZE_T PrivateBytes()
{
	SIZE_T bytes = 0;
	MEMORY_BASIC_INFORMATION info;
	for (BYTE* p = nullptr; VirtualQuery(p, &info, sizeof(info)) == sizeof(info); p += info.RegionSize)
	{
		if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
			bytes += info.RegionSize;
		if ((BYTE*)info.BaseAddress + info.RegionSize < p)
			break;
	}
	return bytes;
}

} // namespace

class WorkerCyclesTest : public WorkerFixture
{
protected:
	::testing::AssertionResult Cycle(const kt::Process& ended)
	{
		CWaitProcThread* pWorker = NewWorker("", RecordCommand());
		if (pWorker == nullptr)
			return ::testing::AssertionFailure() << "no worker";
		WaitOnProcess(pWorker, ended, CWaitProcThread::waitProcess);
		Resume(pWorker);
		::testing::AssertionResult done = WaitDone(20000);
		if (!done)
			return done;
		return StopAfterReport(pWorker);
	}
};

TEST_F(WorkerCyclesTest, AThousandCyclesLeaveNoHandlesOrMemoryBehind)
{
	const int cycles = 1000, warmUp = 20;
	const DWORD handleSlack = 8;
	const SIZE_T byteSlack = 256 * 1024; // a leak of 256 bytes a cycle shows
	kt::Process ended;
	ASSERT_TRUE(ended.Start(kt::QuotedRecorder() + " --exit 0"));
	ASSERT_TRUE(ended.Wait(30000));
	for (int i = 0; i < warmUp; ++i)
		ASSERT_TRUE(Cycle(ended)) << "cycle " << i;
	m_hThread.Close();
	const DWORD handlesBefore = HandleCount();
	const SIZE_T bytesBefore = PrivateBytes();
	for (int i = warmUp; i < cycles; ++i)
		ASSERT_TRUE(Cycle(ended)) << "cycle " << i;
	m_hThread.Close();
	const DWORD handlesAfter = HandleCount();
	const SIZE_T bytesAfter = PrivateBytes();
	printf("%d cycles: handles %lu -> %lu, private bytes %lu -> %lu\n", cycles - warmUp, handlesBefore, handlesAfter,
		(unsigned long)bytesBefore, (unsigned long)bytesAfter);
	EXPECT_LE(handlesAfter, handlesBefore + handleSlack);
	EXPECT_NE(0u, bytesBefore) << "private bytes cannot be read";
	EXPECT_LE(bytesAfter, bytesBefore + byteSlack);
	EXPECT_EQ((size_t)cycles + 1, Records().size()) << "every follow-up runs once";
}
