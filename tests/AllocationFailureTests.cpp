// Exhausted memory in each restart operation: the framework's heap fails its
// first, second, ... allocation, one per run. Every run either refuses (FALSE,
// nothing written) or gives exactly the result of a run without failures.
#include "TestSupport.h"
#include "restart/CommandPath.h"
#include "waitproc/WaitProcThread.h"

// reset restores what the operation works on; call runs it right after the
// failure is armed (so it lands there, and each run must show it came);
// describe tells all it produced. A refusal leaves what reset left.
static void EachAllocationFails(
	const std::function<void()>& reset, const std::function<BOOL()>& call, const std::function<std::string()>& describe)
{
	const auto run = [&](long n)
	{
		reset();
		kt::FailAllocation(n);
		const BOOL ok = call();
		return (ok ? "TRUE " : "FALSE ") + describe();
	};
	reset();
	const std::string refused = "FALSE " + describe();
	const std::string reference = run(0); // the reference run, where nothing fails
	const long count = kt::AllocationsMade();
	ASSERT_GT(count, 0) << "the operation allocated nothing";
	ASSERT_NE(refused, reference);
	int refusals = 0;
	for (long n = 1; n <= count; ++n)
	{
		CAllocFailureWatch watch;
		std::string got = run(n);
		const bool came = watch.HasFailed();
		kt::FailAllocation(0);
		refusals += got == refused;
		EXPECT_TRUE(came) << "allocation " << n << " of " << count << " was never made";
		EXPECT_TRUE(got == reference || got == refused) << "allocation " << n << " of " << count << " failed\n  got "
														<< got << "\n  ok  " << reference << "\n  or  " << refused;
	}
	EXPECT_GT(refusals, 0) << "no failure reached the operation";
}

TEST(AllocationFailureTest, PathNormalisationAndRestartCommand)
{
	kt::ScratchDir dir;
	std::string folder = kt::LongPath(dir.Path()) + "\\Long Folder Name";
	CreateDirectoryA(folder.c_str(), NULL);
	ASSERT_TRUE(kt::Touch(folder + "\\setup tool.exe"));
	char shortPath[MAX_PATH];
	ASSERT_GT(GetShortPathNameA((folder + "\\setup tool.exe").c_str(), shortPath, MAX_PATH), 0u);
	const std::string command = std::string(shortPath) + " /s \"a b\"", decoy = dir.File("Kestrune.exe");
	CWaitProcThread worker;
	// A file of the utility's name in the current folder, where a path cut to
	// its file name would point.
	char cwd[MAX_PATH];
	GetCurrentDirectoryA(MAX_PATH, cwd);
	ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
	ASSERT_TRUE(kt::Touch(decoy));

	CString out;
	const std::function<BOOL()> operations[] = {
		[&] { return SplitCommandLine(command.c_str(), out); },
		[&] { return GetFullLongPath(shortPath, out, FALSE); },
		[&] { return GetFullLongPath(shortPath, out, TRUE); },
		[&] { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, FALSE); },
		[&] { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, TRUE); },
	};
	for (const auto& operation : operations)
		EachAllocationFails([&] { CString("untouched").Swap(out); }, operation,
			[&] { return std::string(out) + " | decoy " + std::to_string(kt::ReadText(decoy).size()); });
	SetCurrentDirectoryA(cwd);
}

// Decoys where a name cut short would lead: the root key's value of the same
// name, and the key's default value.
TEST(AllocationFailureTest, RebootFlagIsConsumedWholeOrNotAtAll)
{
	kt::ScratchKey key(HKEY_CURRENT_USER);
	const std::string name = kt::UniqueName("KtFlag");
	CRegKey root;
	ASSERT_EQ(ERROR_SUCCESS, root.Open(HKEY_CURRENT_USER, NULL));
	const std::string path = "HKEY_CURRENT_USER\\" + key.Path() + "\\" + name;
	CWaitProcThread worker;
	EachAllocationFails(
		[&]
		{
			kt::SetDword(key.Key(), name.c_str(), 1);
			kt::SetDword(key.Key(), "", 1);
			kt::SetDword(root, name.c_str(), 1);
		},
		[&] { return worker.CheckRebootFlag(path.c_str()); },
		[&] { return kt::DescribeValues(key.Key()) + "| root " + kt::ValueExists(root, name.c_str()).message(); });
	root.DeleteValue(name.c_str());
}

TEST(AllocationFailureTest, RunOnceRegistrationWritesAWholeCommandOrNothing)
{
	kt::RunOnceKey runOnce({ "KtKnown" });
	ASSERT_TRUE(kt::SetValue(runOnce.Key(), "KtKnown", REG_SZ, std::string("\"C:\\Apps\\install.exe\" /resume", 30)));
	const std::string command = kt::BinPath("kt_record.exe") + " a \"b c\"";
	for (bool known : { false, true })
	{
		SCOPED_TRACE(known ? "restart form" : "plain form");
		CWaitProcThread worker;
		if (known)
			worker.m_astrKnownCommands.Add("c:\\apps\\install.exe");
		EachAllocationFails([&] { RegDeleteValueA(runOnce.Key(), "Vormelle"); },
			[&] { return worker.RegisterRestart(command.c_str(), TRUE, "Cap"); },
			[&] { return kt::DescribeValues(runOnce.Key()); });
	}
}
