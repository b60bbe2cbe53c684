// Exhausted memory in each restart operation: the framework's heap fails the
// first, then the second, ... allocation of an operation, one per run. Every
// run either refuses (FALSE, nothing written) or gives exactly the result of
// a run without failures.
#include <functional>

#include "TestSupport.h"
#include "restart/CommandPath.h"
#include "waitproc/WaitProcThread.h"

// op resets what it works on, calls arm right before the operation, runs it,
// and describes everything it produced. The failure is armed there, so that
// it lands in the operation, and each run must show that it came.
typedef std::function<std::string(const std::function<void()>& arm)> Operation;
static void EachAllocationFails(const Operation& op, const std::string& refused)
{
	long n = 0; // 0: the reference run, where nothing fails
	const auto arm = [&] { kt::FailAllocation(n); };
	const std::string reference = op(arm);
	const long count = kt::AllocationsMade();
	ASSERT_GT(count, 0) << "the operation allocated nothing";
	ASSERT_NE(refused, reference);
	int refusals = 0;
	for (n = 1; n <= count; ++n)
	{
		CAllocFailureWatch watch;
		std::string got = op(arm);
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
	const std::string command = std::string(shortPath) + " /s \"a b\"";
	CWaitProcThread worker;
	// A file of the utility's name in the current folder, where a path cut to
	// its file name would point.
	char cwd[MAX_PATH];
	GetCurrentDirectoryA(MAX_PATH, cwd);
	ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
	ASSERT_TRUE(kt::Touch(dir.File("Kestrune.exe")));

	const std::function<BOOL(CString&)> operations[] = {
		[&](CString& out) { return SplitCommandLine(command.c_str(), out); },
		[&](CString& out) { return GetFullLongPath(shortPath, out, FALSE); },
		[&](CString& out) { return GetFullLongPath(shortPath, out, TRUE); },
		[&](CString& out) { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, FALSE); },
		[&](CString& out) { return worker.BuildRestartCommand("Setup \"A\"", command.c_str(), out, TRUE); },
	};
	for (const auto& operation : operations)
		EachAllocationFails(
			[&](const std::function<void()>& arm)
			{
				CString out("untouched");
				arm();
				BOOL ok = operation(out);
				return (ok ? "TRUE " : "FALSE ") + std::string(out) + " | decoy "
					+ std::to_string(kt::ReadText(dir.File("Kestrune.exe")).size());
			},
			"FALSE untouched | decoy 0");
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
	auto reset = [&]
	{
		kt::SetDword(key.Key(), name.c_str(), 1);
		kt::SetDword(key.Key(), "", 1);
		kt::SetDword(root, name.c_str(), 1);
	};
	auto state = [&]
	{ return kt::DescribeValues(key.Key()) + "| root " + kt::ValueExists(root, name.c_str()).message(); };
	reset();
	const std::string refused = "FALSE " + state();
	EachAllocationFails(
		[&](const std::function<void()>& arm)
		{
			reset();
			arm();
			BOOL pending = worker.CheckRebootFlag(path.c_str());
			return (pending ? "TRUE " : "FALSE ") + state();
		},
		refused);
	root.DeleteValue(name.c_str());
}

TEST(AllocationFailureTest, RunOnceRegistrationWritesAWholeCommandOrNothing)
{
	kt::RunOnceKey runOnce({ "KtKnown" });
	ASSERT_TRUE(kt::SetValue(
		runOnce.Key(), "KtKnown", REG_SZ, std::string("\"C:\\Apps\\install.exe\" /resume") + std::string(1, '\0')));
	const std::string command = kt::BinPath("kt_record.exe") + " a \"b c\"";
	for (bool known : { false, true })
	{
		SCOPED_TRACE(known ? "restart form" : "plain form");
		CWaitProcThread worker;
		if (known)
			worker.m_astrKnownCommands.Add("c:\\apps\\install.exe");
		RegDeleteValueA(runOnce.Key(), "Vormelle");
		const std::string refused = "FALSE " + kt::DescribeValues(runOnce.Key());
		EachAllocationFails(
			[&](const std::function<void()>& arm)
			{
				RegDeleteValueA(runOnce.Key(), "Vormelle");
				arm();
				BOOL ok = worker.RegisterRestart(command.c_str(), TRUE, "Cap");
				return (ok ? "TRUE " : "FALSE ") + kt::DescribeValues(runOnce.Key());
			},
			refused);
	}
}
