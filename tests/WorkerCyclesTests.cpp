// A thousand workers in one process, one after the other: each waits on a
// process that has ended, runs its follow-up, reports and is stopped. What
// they leave behind, in handles and heap bytes, stays within a slack.
#include "WorkerFixture.h"

// The open handles of this process (where the system answers 0, as Wine
// does, the handle values that name an open object, tried one by one), and
// the bytes in the blocks in use on its heaps: what a leak of the code under
// test adds to.
struct Footprint
{
	DWORD handles = 0;
	SIZE_T heapBytes = 0;
};
static Footprint Measure()
{
	Footprint now;
	if (!GetProcessHandleCount(GetCurrentProcess(), &now.handles) || now.handles == 0)
		for (ULONG_PTR value = 4; value < 0x10000; value += 4)
		{
			DWORD flags;
			now.handles += GetHandleInformation((HANDLE)value, &flags) ? 1 : 0;
		}
	HANDLE heaps[64];
	DWORD count = GetProcessHeaps(64, heaps);
	for (DWORD i = 0; i < count && i < 64; ++i)
	{
		PROCESS_HEAP_ENTRY entry = {};
		HeapLock(heaps[i]);
		while (HeapWalk(heaps[i], &entry))
			now.heapBytes += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
		HeapUnlock(heaps[i]);
	}
	return now;
}

using WorkerCyclesTest = WorkerFixture;

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
	Footprint before;
	for (int i = 0; i < warmUp + cycles; ++i)
	{
		if (i == warmUp)
		{
			m_hThread.Close();
			before = Measure();
		}
		ASSERT_TRUE(NewWorker("", kt::RecordCommand())) << "cycle " << i;
		WaitOnProcess(ended, CWaitProcThread::waitProcess);
		Resume();
		ASSERT_TRUE(WaitDone(20000)) << "cycle " << i;
		ASSERT_TRUE(StopAfterReport()) << "cycle " << i;
	}
	m_hThread.Close();
	const Footprint after = Measure();
	printf("%d cycles: handles %lu -> %lu, heap bytes in use %lu -> %lu\n", cycles, before.handles, after.handles,
		(unsigned long)before.heapBytes, (unsigned long)after.heapBytes);
	EXPECT_LE(after.handles, before.handles + handleSlack);
	EXPECT_NE(0u, before.heapBytes) << "the heaps cannot be walked";
	EXPECT_LE(after.heapBytes, before.heapBytes + heapSlack);
	EXPECT_EQ((size_t)(warmUp + cycles + 1), Records().size()) << "every follow-up runs once";
}
