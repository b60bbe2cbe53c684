// A thousand workers in one process, one after the other: each waits on a
// process that has ended, runs its follow-up, reports and is stopped. What
// they leave behind, in handles and heap bytes, stays within a slack.
#include "WorkerFixture.h"

// The open handles of this process. Where the system answers 0 (Wine), the
// handle values that name an open object, tried one by one.
static DWORD HandleCount()
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

// The bytes in the blocks in use on every heap of this process: what a leak
// of the code under test adds to.
static SIZE_T HeapBytesInUse()
{
	HANDLE heaps[64];
	DWORD count = GetProcessHeaps(64, heaps);
	SIZE_T bytes = 0;
	for (DWORD i = 0; i < count && i < 64; ++i)
	{
		PROCESS_HEAP_ENTRY entry = {};
		HeapLock(heaps[i]);
		while (HeapWalk(heaps[i], &entry))
			bytes += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
		HeapUnlock(heaps[i]);
	}
	return bytes;
}

class WorkerCyclesTest : public WorkerFixture
{
protected:
	::testing::AssertionResult Cycle(const kt::Process& ended)
	{
		::testing::AssertionResult done = NewWorker("", kt::RecordCommand());
		if (!done)
			return done;
		WaitOnProcess(ended, CWaitProcThread::waitProcess);
		Resume();
		done = WaitDone(20000);
		return done ? StopAfterReport() : done;
	}
};

TEST_F(WorkerCyclesTest, AThousandCyclesLeaveNoHandlesOrMemoryBehind)
{
	// The warm-up also fills the list of freed blocks that Wine's heap checks
	// hold back (some 1,000 blocks): they count as in use.
	const int cycles = 1000, warmUp = 300;
	const DWORD handleSlack = 8;
	// A leak of 8 bytes a cycle (8,000 bytes) shows on the heaps.
	const SIZE_T heapSlack = 4 * 1024;
	kt::Process ended;
	ASSERT_TRUE(ended.Start(kt::RecordCommand()));
	ASSERT_TRUE(ended.Wait(30000));
	for (int i = 0; i < warmUp; ++i)
		ASSERT_TRUE(Cycle(ended)) << "cycle " << i;
	m_hThread.Close();
	const DWORD handlesBefore = HandleCount();
	const SIZE_T heapBefore = HeapBytesInUse();
	for (int i = 0; i < cycles; ++i)
		ASSERT_TRUE(Cycle(ended)) << "cycle " << warmUp + i;
	m_hThread.Close();
	const DWORD handlesAfter = HandleCount();
	const SIZE_T heapAfter = HeapBytesInUse();
	printf("%d cycles: handles %lu -> %lu, heap bytes in use %lu -> %lu\n", cycles, handlesBefore, handlesAfter,
		(unsigned long)heapBefore, (unsigned long)heapAfter);
	EXPECT_LE(handlesAfter, handlesBefore + handleSlack);
	EXPECT_NE(0u, heapBefore) << "the heaps cannot be walked";
	EXPECT_LE(heapAfter, heapBefore + heapSlack);
	EXPECT_EQ((size_t)(warmUp + cycles + 1), Records().size()) << "every follow-up runs once";
}
