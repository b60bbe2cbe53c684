// Workers one after the other in one process, each waiting on an ended process,
// probing a caption once, running its follow-up, reporting and being stopped:
// what they leave behind, in handles and heap bytes, stays within a slack.
#include "WorkerFixture.h"

// The open handles of this process (where the system answers 0, as Wine does,
// each handle value that names an open object) and the bytes in use on its
// heaps: what a leak of the code under test adds to.
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
		// Wine's heap checks hold back the last 1,024 freed blocks of a heap,
		// which count as in use: let them be the same blocks each time.
		for (int n = 0; n < 1100; ++n)
			HeapFree(heaps[i], 0, HeapAlloc(heaps[i], 0, 8));
		PROCESS_HEAP_ENTRY entry = {};
		HeapLock(heaps[i]);
		while (HeapWalk(heaps[i], &entry))
			now.heapBytes += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) ? entry.cbData : 0;
		HeapUnlock(heaps[i]);
	}
	return now;
}

using WorkerCyclesTest = WorkerFixture;

TEST_F(WorkerCyclesTest, CyclesLeaveNoHandlesOrMemoryBehind)
{
	const int cycles = 200, warmUp = 20;
	const DWORD handleSlack = 8;
	// A leak of 16 bytes a follow-up or a probe (3,200 bytes) shows on the heaps.
	const SIZE_T heapSlack = 2 * 1024;
	const std::string caption = kt::UniqueName("KtCycle") + " probe window";
	const HWND hWnd = CreateWindowExA(0, "STATIC", caption.c_str(), 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
	ASSERT_NE(nullptr, hWnd);
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
		ASSERT_EQ(hWnd, m_pWorker->FindCaptionWindow(caption.c_str())) << "cycle " << i;
		WaitOnProcess(ended, CWaitProcThread::waitProcess);
		Resume();
		ASSERT_TRUE(WaitDone(20000)) << "cycle " << i;
		ASSERT_TRUE(StopAfterReport()) << "cycle " << i;
	}
	m_hThread.Close();
	const Footprint after = Measure();
	DestroyWindow(hWnd);
	printf("%d cycles: handles %lu -> %lu, heap bytes in use %lu -> %lu\n", cycles, before.handles, after.handles,
		(unsigned long)before.heapBytes, (unsigned long)after.heapBytes);
	EXPECT_LE(after.handles, before.handles + handleSlack);
	EXPECT_NE(0u, before.heapBytes) << "the heaps cannot be walked";
	EXPECT_LE(after.heapBytes, before.heapBytes + heapSlack);
	EXPECT_EQ((size_t)(warmUp + cycles + 1), Records().size()) << "every follow-up runs once";
}
