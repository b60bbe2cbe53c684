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

// A file of the utility's name in the current folder, where a path cut to its
// file name would point; the root key's value of the flag's name and the
// key's default value, where a flag name cut short would lead.
TEST(AllocationFailureTest, EveryRestartOperationGivesItsWholeResultOrNothing)
{
	kt::ScratchDir dir;
	std::string folder = kt::LongPath(dir.Path()) + "\\Long Folder Name";
	CreateDirectoryA(folder.c_str(), NULL);
	ASSERT_TRUE(kt::Touch(folder + "\\setup tool.exe"));
	char shortPath[MAX_PATH], cwd[MAX_PATH];
	ASSERT_GT(GetShortPathNameA((folder + "\\setup tool.exe").c_str(), shortPath, MAX_PATH), 0u);
	const std::string command = std::string(shortPath) + " /s \"a b\"", decoy = dir.File("Kestrune.exe");
	ASSERT_TRUE(kt::Touch(decoy));
	kt::ScratchKey key(HKEY_CURRENT_USER);
	const std::string name = kt::UniqueName("KtFlag"), flag = "HKEY_CURRENT_USER\\" + key.Path() + "\\" + name;
	CRegKey root;
	ASSERT_EQ(ERROR_SUCCESS, root.Open(HKEY_CURRENT_USER, NULL));
	kt::RunOnceKey runOnce({ "KtKnown" });
	ASSERT_TRUE(kt::SetValue(runOnce.Key(), "KtKnown", REG_SZ, std::string("\"C:\\Apps\\install.exe\" /resume", 30)));
	const std::string recorder = kt::BinPath("kt_record.exe") + " a \"b c\"";
	CWaitProcThread worker, knowing;
	knowing.m_astrKnownCommands.Add("c:\\apps\\install.exe");

	CString out;
	const std::function<void()> untouched = [&] { CString("untouched").Swap(out); },
								unregistered = [&] { RegDeleteValueA(runOnce.Key(), "Vormelle"); };
	const std::function<std::string()> outAndDecoy = [&]
	{ return std::string(out) + " | decoy " + std::to_string(kt::ReadText(decoy).size()); },
									   registered = [&] { return kt::DescribeValues(runOnce.Key()); };
	// What each operation works on, the operation, and all it produced.
	const std::tuple<std::function<void()>, std::function<BOOL()>, std::function<std::string()>> operations[] = {
		{ untouched, [&] { return SplitCommandLine(command.c_str(), out); }, outAndDecoy },
		{ untouched, [&] { return GetFullLongPath(shortPath, out, FALSE); }, outAndDecoy },
		{ untouched, [&] { return GetFullLongPath(shortPath, out, TRUE); }, outAndDecoy },
		{ untouched, [&] { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, FALSE); },
			outAndDecoy },
		{ untouched, [&] { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, TRUE); },
			outAndDecoy },
		{ [&]
			{
				kt::SetDword(key.Key(), name.c_str(), 1);
				kt::SetDword(key.Key(), "", 1);
				kt::SetDword(root, name.c_str(), 1);
			},
			[&] { return worker.CheckRebootFlag(flag.c_str()); },
			[&] { return kt::DescribeValues(key.Key()) + "| root " + kt::ValueExists(root, name.c_str()).message(); } },
		{ unregistered, [&] { return worker.RegisterRestart(recorder.c_str(), TRUE, "Cap"); }, registered },
		{ unregistered, [&] { return knowing.RegisterRestart(recorder.c_str(), TRUE, "Cap"); }, registered },
	};
	GetCurrentDirectoryA(MAX_PATH, cwd);
	ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
	for (const auto& [reset, call, describe] : operations)
		EachAllocationFails(reset, call, describe);
	SetCurrentDirectoryA(cwd);
	root.DeleteValue(name.c_str());
}
