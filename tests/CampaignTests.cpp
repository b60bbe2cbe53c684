// A campaign of random command lines against the real Kestrune.exe, started
// by a program of code page 932: quotes, runs of backslashes, tabs, empty
// arguments, lone lead bytes, a hundred arguments, lines near the
// 32,767-character limit. Every instance, relaunched ones included, ends with
// exit code 0, and every line runs its follow-up once, with the words the
// generator placed after the next-command option, as the real C runtime
// splits them. KT_SEED replays a run; the seed is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "TestSupport.h"

namespace
{

struct Line
{
	std::string args; // after the utility's path
	bool relaunch = false;
	std::string tail; // what follows the next-command option's word(s)
};

class Generator
{
public:
	explicit Generator(unsigned seed) : m_rng(seed) {}

	// Words without a 'c'. Wild ones may hold "/n=" and "/r", quotes and lone
	// lead bytes, which can join them to the next word; tame ones none of these.
	std::string Word(bool wild)
	{
		static const char* const pieces[] = { "a", "Z", "\\", "\\\\\\", "/", "-", "=", "%", "^", "&", "*", "?",
			"\x83\x5c", "\x95\x5c", "\x82\xa0", "\xe9\x40", " ", "\t", "\"", "\"\"", "\\\"", "x y", "\x83",
			"/n=", "-N=", "/r", "-R" };
		const int tame = 16, all = sizeof(pieces) / sizeof(*pieces);
		std::string word;
		for (int n = Pick(6); n >= 0; --n)
			word += pieces[Pick(wild ? all : tame)];
		if (wild && Pick(6) == 0)
			word += "\x83"; // a lone lead byte at the end of a word
		return word;
	}
	std::string Words(int count, bool wild)
	{
		std::string line;
		for (int i = 0; i < count; ++i)
			line += (i ? Separator() : "") + Word(wild);
		return line;
	}
	std::string Separator() { return Pick(4) == 0 ? " \t " : " "; }
	// Up to 12 words; now and then a hundred, or as many as fit in limit characters.
	std::string Tail(size_t limit)
	{
		int shape = Pick(20);
		if (shape > 1)
			return Words(Pick(13), true);
		if (shape == 0)
			return Words(100, true);
		std::string line;
		for (std::string word; line.size() + word.size() + 3 < limit; word = Word(true))
			line += word + Separator();
		return line;
	}

	// A line that waits for a prefix of title and then runs the recorder.
	Line Next(const std::string& title)
	{
		Line line;
		const std::string recorder = kt::BinPath("kt_record.exe");
		static const char* const captions[] = { "\"/c=%s\"", "-C=\"%s\"", "/c=%s", "\"-c=\"%s" };
		// The caption is the title, or a prefix of it in another letter case.
		std::string caption = title.substr(0, title.size() - Pick(6));
		if (Pick(2))
			for (char& ch : caption)
				ch = (char)(Pick(2) ? toupper(ch) : tolower(ch));
		char captionWord[512];
		// The first two forms quote a caption with a space.
		sprintf(captionWord, captions[Pick(caption.find(' ') != std::string::npos ? 2 : 4)], caption.c_str());
		static const char* const nexts[] = { "/n=%s", "\"/n=%s\"", "-n= %s", "/N=\"%s\"" };
		char nextWord[512];
		sprintf(nextWord, nexts[Pick(4)], recorder.c_str());
		// A relaunch quotes the line again, which may double it.
		line.relaunch = Pick(3) == 0;
		line.args = (line.relaunch ? "/r " : "") + Words(Pick(3), false) + " " + captionWord + " "
			+ Words(Pick(3), false) + " " + nextWord + " ";
		const size_t used = line.args.size() - recorder.size() + MAX_PATH;
		line.tail = Tail((line.relaunch ? s_maxLine / 2 : s_maxLine) - used);
		line.args += line.tail;
		return line;
	}

	// What fits in a command line after the utility's path, in quotes, and a
	// space; the lines are the same in any checkout folder.
	static const size_t s_maxLine = 32766 - MAX_PATH - 3;

private:
	int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
	std::mt19937 m_rng;
};

std::string Show(const std::vector<std::string>& args)
{
	std::string s;
	for (const std::string& a : args)
		s += "[" + kt::ToHex(a.substr(0, 64)) + (a.size() > 64 ? "..." : "") + "]";
	return s;
}

// What a caption probe asks of each window.
BOOL CALLBACK ReadTextLength(HWND hWnd, LPARAM)
{
	GetWindowTextLengthA(hWnd);
	return TRUE;
}

} // namespace

// The seeded lines, in batches of 100 that share a window title: every
// waiting instance probes every window through the one Wine server, so the
// load grows with the square of the batch.
class CampaignTest : public ::testing::Test
{
protected:
	static const int s_lines = 500, s_batch = 100;

	void SetUp() override
	{
		ASSERT_EQ(932u, GetACP()) << "the campaign needs code page 932";
		char seedText[32] = "20261208";
		GetEnvironmentVariableA("KT_SEED", seedText, sizeof(seedText));
		m_seed = (unsigned)strtoul(seedText, NULL, 10);
		printf("campaign: seed %u (KT_SEED=%u replays it), %d command lines\n", m_seed, m_seed, s_lines);
		Generator gen(m_seed);
		for (int i = 0; i < s_lines; ++i)
		{
			if (i % s_batch == 0)
				m_titles.push_back("KtCamp" + std::to_string(m_seed) + "-" + std::to_string(i / s_batch) + " Window");
			m_cases.push_back(gen.Next(m_titles.back()));
		}
	}

	// Shows the batch's window, then starts with program the lines of the
	// batch from first, each with a record file of its own. The window stays
	// until every line has one instance in its wait (its worker thread
	// started; a relaunched instance for /r) and every other instance has
	// ended, and then for the polls in which a worker's first probe falls.
	// Once every process of the batch has ended, each instance, relaunched
	// ones included, must have exit code 0.
	std::vector<int> RunBatch(int first, const std::string& program)
	{
		kt::CaptionWindows window;
		EXPECT_TRUE(window.Start(m_titles[first / s_batch], "3600000"));
		std::vector<int> run;
		size_t relaunches = 0;
		kt::Job job;
		std::vector<kt::Process> processes(s_batch);
		std::map<DWORD, int> lineOf;
		for (int i = first; i < first + s_batch; ++i)
		{
			m_longest = std::max(m_longest, m_cases[i].args.size());
			kt::SetRecordFile(RecordFile(i));
			kt::Process& p = processes[run.size()];
			EXPECT_TRUE(p.Start("\"" + program + "\" " + m_cases[i].args, &job)) << Where(i);
			lineOf[GetProcessId(p.Handle())] = i;
			relaunches += m_cases[i].relaunch;
			run.push_back(i);
		}

		// Relaunched instances live until the window has gone: each is opened
		// while it waits, for its exit code.
		std::map<DWORD, CHandle> relaunched;
		bool ready = kt::PumpUntil(
			[&]
			{
				std::map<DWORD, int> threads = kt::ThreadCounts();
				size_t inWait = 0;
				for (DWORD pid : job.ProcessIds())
				{
					if (!lineOf.count(pid) && !relaunched.count(pid))
						relaunched[pid].Attach(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
					inWait += threads[pid] >= 2;
				}
				return job.ProcessesStarted() == run.size() + relaunches && job.ProcessesRunning() == run.size()
					&& inWait == run.size();
			},
			120000);
		EXPECT_TRUE(ready) << "seed " << m_seed << ", lines " << first << "..: of " << run.size() << " lines and "
						   << relaunches << " relaunches, " << job.ProcessesStarted() << " instances started, "
						   << job.ProcessesRunning() << " running, all should wait";
		// A worker's first probe has no outward sign: the window stays for ten
		// probes of every window, timed here under the same load, 3 s at least.
		ULONGLONG probeStart = GetTickCount64();
		EnumWindows(ReadTextLength, 0);
		const ULONGLONG probeMs = GetTickCount64() - probeStart;
		printf("campaign: lines %d..: a probe of every window took %llu ms\n", first, probeMs);
		kt::PumpFor((DWORD)std::max<ULONGLONG>(3000, 10 * probeMs));
		window.Close();
		EXPECT_TRUE(kt::PumpUntil([&] { return job.ProcessesRunning() == 0; }, 60000))
			<< "seed " << m_seed << ": an instance of lines " << first << ".." << first + s_batch - 1 << " still runs";
		for (size_t k = 0; k < run.size(); ++k)
			EXPECT_EQ(0u, processes[k].ExitCode()) << Where(run[k]);
		EXPECT_EQ(relaunches, relaunched.size()) << "relaunched instances seen, lines " << first << "..";
		for (const auto& r : relaunched)
		{
			DWORD code = STILL_ACTIVE;
			EXPECT_TRUE(r.second.IsCreated() && GetExitCodeProcess(r.second, &code) && code == 0)
				<< "relaunched instance " << r.first << ": exit code " << code;
		}
		return run;
	}
	std::string RecordFile(int line) const { return m_dir.File(("follow" + std::to_string(line)).c_str()); }
	std::string Where(int line) const
	{
		return "seed " + std::to_string(m_seed) + " line " + std::to_string(line) + ": "
			+ kt::ToHex(m_cases[line].args.substr(0, 300));
	}

	unsigned m_seed = 0;
	std::vector<Line> m_cases;
	std::vector<std::string> m_titles;
	size_t m_longest = 0;
	kt::ScratchDir m_dir;
};

// The instances have two threads; they run a copy of the utility under
// another name, for which Wine's heap checks are off: those checks report a
// corrupt heap on their own when two threads use it at once, and the
// allocations of a process they have flagged fail.
TEST_F(CampaignTest, EveryLineRunsItsFollowUpOnceWithTheDirectArguments)
{
	const std::string copy = m_dir.File("KestruneUnchecked.exe");
	ASSERT_TRUE(CopyFileA(kt::BinPath("Kestrune.exe").c_str(), copy.c_str(), FALSE)) << "error " << GetLastError();

	// What each follow-up must get: the words placed after the next-command
	// option, as the real C runtime splits them, joined by single spaces
	// after the recorder's path, and that command split by the runtime again.
	std::vector<std::string> commands;
	for (const Line& line : m_cases)
		commands.push_back(kt::QuotedRecorder() + " " + line.tail);
	std::vector<std::vector<std::string>> words = kt::RecordedArguments(commands, m_dir, "tail");
	for (size_t k = 0; k < commands.size(); ++k)
	{
		commands[k] = kt::BinPath("kt_record.exe");
		for (const std::string& w : words[k])
			commands[k] += " " + w;
	}
	std::vector<std::vector<std::string>> expected = kt::RecordedArguments(commands, m_dir, "direct");

	for (int first = 0; first < s_lines && !HasFailure(); first += s_batch)
		for (int i : RunBatch(first, copy))
		{
			SCOPED_TRACE(Where(i));
			const std::vector<std::string>& direct = expected[i];
			std::vector<kt::Record> runs = kt::ReadRecords(RecordFile(i));
			ASSERT_EQ(1u, runs.size()) << "the follow-up did not run once";
			EXPECT_EQ(direct, runs[0].args) << "direct " << Show(direct) << "\n  got " << Show(runs[0].args);
		}
	printf("campaign: seed %u, %u lines with both options, each ran its follow-up once, longest %u characters\n",
		m_seed, (unsigned)m_cases.size(), (unsigned)m_longest);
}
