// The benchmark: detection and vanish latency and the cost of one caption
// probe, among 1,000 other top-level windows whose captions are longer than the
// prefix, so that every one of them is read. (bench/run.sh measures the CPU
// time of a waiting Kestrune.exe from outside.)
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <vector>

#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

struct Stats
{
	double min, median, max;
};

static Stats Summarize(std::vector<double> v)
{
	std::sort(v.begin(), v.end());
	return { v.front(), v[v.size() / 2], v.back() };
}

static void Row(const char* what, const Stats& s, const char* unit, const char* reference)
{
	printf("| %s | %.1f / %.1f / %.1f %s | %s |\n", what, s.min, s.median, s.max, unit, reference);
	fflush(stdout);
}

// A worker waiting for a process, then a caption, probes for the caption every 500 ms while it waits
// for a process, and marks the moment it sees the window: that is the
// detection, with the same probe and period as the caption wait.
static double DetectionMs(const std::string& caption)
{
	kt::Process sleeper;
	sleeper.Start("\"" + kt::BinPath("kt_record.exe") + "\" --sleep 60000");
	CWaitProcThread* pWorker = static_cast<CWaitProcThread*>(
		AfxBeginThread(RUNTIME_CLASS(CWaitProcThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
	CHandle hThread(kt::Duplicate(pWorker->m_hThread));
	pWorker->m_hWaitProcess = kt::Duplicate(sleeper.Handle());
	pWorker->m_strCaption = caption.c_str();
	pWorker->m_nWaitType = CWaitProcThread::waitProcessThenCaption;
	pWorker->ResumeThread();
	// Let the worker's poll run at its own phase before the window comes.
	Sleep(300 + GetTickCount() % 500);
	kt::CaptionWindows windows;
	windows.Start(caption, 10000, true);
	while (!pWorker->m_bCaptionSeen)
		Sleep(1);
	double ms = (double)(GetTickCount64() - windows.ShownAt());
	pWorker->Stop(FALSE); // it ends and deletes itself
	WaitForSingleObject(hThread, 10000);
	return ms;
}

// Kestrune.exe itself: from the moment the window goes (a hidden one, which
// Wine destroys at once) to the start of the follow-up process.
static double VanishToFollowUpMs(const std::string& caption)
{
	kt::RecordFile record;
	kt::CaptionWindows windows;
	windows.Start(caption, 800, true);
	kt::Process kestrune;
	kestrune.Start(kt::KestruneCommand("/c=" + caption + " /n=" + kt::RecordCommand()));
	kestrune.Wait(30000);
	std::vector<kt::Record> runs = record.Runs();
	return runs.empty() ? -1 : (double)(runs[0].startMs - windows.VanishStartAt());
}

static double ProbeMs(const char* prefix, int probes)
{
	CWaitProcThread worker;
	LARGE_INTEGER f, a, b;
	QueryPerformanceFrequency(&f);
	QueryPerformanceCounter(&a);
	for (int i = 0; i < probes; ++i)
		worker.FindCaptionWindow(prefix);
	QueryPerformanceCounter(&b);
	return (double)(b.QuadPart - a.QuadPart) * 1000.0 / (double)f.QuadPart / probes;
}

int main(int argc, char** argv)
{
	int others = argc > 1 ? atoi(argv[1]) : 1000;
	int runs = argc > 2 ? atoi(argv[2]) : 7;
	printf("Benchmark under Wine, %d other top-level windows present, %d runs each (min / median / max).\n\n", others,
		runs);
	printf("| measure | result | reference |\n|---|---|---|\n");

	kt::CaptionWindows crowd;
	if (others > 0 && !crowd.Start("KtBench crowd: a top-level window of another application", 600000, true, others))
	{
		printf("could not create the other windows\n");
		return 1;
	}

	std::vector<double> probe;
	for (int i = 0; i < runs; ++i)
		probe.push_back(ProbeMs("KtBenchNeverShown", 20));
	Row("one caption probe", Summarize(probe), "ms", "enumerates every top-level window; runs once per 500 ms poll");

	std::vector<double> detect;
	for (int i = 0; i < runs; ++i)
		detect.push_back(DetectionMs(kt::UniqueName("KtBenchDetect")));
	Row("window appears -> detected", Summarize(detect), "ms", "within one poll (500 ms) plus a probe");

	std::vector<double> vanish;
	for (int i = 0; i < runs; ++i)
		vanish.push_back(VanishToFollowUpMs(kt::UniqueName("KtBenchVanish")));
	Row("window gone -> follow-up process starts", Summarize(vanish), "ms",
		"1,000 to 1,500 ms plus the time to create a process");

	return 0;
}
