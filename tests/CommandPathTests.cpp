// Command lines normalised for the RunOnce registration, against real files.
#include "TestSupport.h"
#include "restart/CommandPath.h"

class CommandPathTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		CreateDirectoryA(m_folder.c_str(), NULL);
		for (const auto& file : { m_folder + "\\setup tool.exe", m_root + "\\plain.exe", m_folder + "\\kt_record.exe" })
			ASSERT_TRUE(kt::Touch(file));
	}

	kt::ScratchDir m_dir;
	const std::string m_root = kt::LongPath(m_dir.Path()), m_folder = m_root + "\\Long Folder Name";
};

// The program that process creation would start: relative paths from the
// current folder; a bare name from this program's folder (where the
// utility lies), the current folder, then the search path; an unquoted path
// with spaces as its shortest run of words that names a program.
TEST_F(CommandPathTest, SplitCommandLineNormalisesTheProgramAndKeepsTheArguments)
{
	const std::string tool = m_folder + "\\setup tool.exe", plain = m_root + "\\plain.exe";
	const std::string recorder = kt::LongPath(kt::BinPath("kt_record.exe"));
	char cwd[MAX_PATH], system[MAX_PATH];
	GetCurrentDirectoryA(MAX_PATH, cwd);
	const std::string cmd = kt::LongPath(std::string(system, GetSystemDirectoryA(system, MAX_PATH)) + "\\cmd.exe");
	ASSERT_TRUE(SetCurrentDirectoryA(m_folder.c_str()));
	const std::pair<std::string, std::string> cases[] = {
		{ "\"" + tool + "\" -x \"a b\"", "\"" + tool + "\" -x \"a b\"" },
		{ "\"" + tool + "\"", "\"" + tool + "\"" },
		{ m_root + "\\Long\" \"Folder\" \"Name\\setup\" \"tool.exe -q", "\"" + tool + "\" -q" },
		{ m_root + "\\pl*.exe /w", "\"" + plain + "\" /w" },
		{ plain + "  two  spaces", "\"" + plain + "\"  two  spaces" },
		{ plain + "\t/s", "\"" + plain + "\"\t/s" },
		{ "\"setup tool.exe\" /r", "\"" + tool + "\" /r" },
		{ "..\\.\\plain.exe /r", "\"" + plain + "\" /r" },
		{ tool + " /q \"a b\"", "\"" + tool + "\" /q \"a b\"" },
		{ m_folder + "\\setup tool -q", "\"" + tool + "\" -q" }, // ".exe" added
		{ tool, "\"" + tool + "\"" },
		{ "kt_record.exe x", "\"" + recorder + "\" x" },
		{ "KT_RECORD y", "\"" + recorder + "\" y" },
		{ "cmd /c", "\"" + cmd + "\" /c" },
		// No file matches: the program stays as given, unquoted, in quotes.
		{ "\"" + plain + " -q", "\"" + plain + " -q\"" }, // unbalanced quote
		{ "\"" + plain + "\"/s", "\"" + plain + "/s\"" }, // text after the quote
		{ "kt-no-such-program.exe a \"b\"", "\"kt-no-such-program.exe\" a \"b\"" },
		{ " x y", "\"\" x y" }, // empty program part
		{ "", "\"\"" },
	};
	for (const auto& [in, out] : cases)
	{
		CString result("untouched");
		EXPECT_TRUE(SplitCommandLine(in.c_str(), result)) << in;
		EXPECT_EQ(out, (LPCSTR)result) << "in: " << in;
	}
	SetCurrentDirectoryA(cwd);

	CString untouched("keep");
	EXPECT_FALSE(SplitCommandLine(NULL, untouched));
	EXPECT_STREQ("keep", (LPCSTR)untouched);
}

// GetLongPathNameA as it answers when the file goes between its two calls.
static DWORD WINAPI LongPathOfAVanishingFile(LPCSTR path, LPSTR buffer, DWORD size)
{
	return buffer == NULL ? (DWORD)MAX_PATH : 0;
}

// The result is written only when a file matches: a sentinel shows it was
// not. A file that goes between the two long-path calls keeps the path found.
TEST_F(CommandPathTest, GetFullLongPathFileAndDirectoryModes)
{
	const std::string atRoot = "C:\\" + kt::UniqueName("kt") + ".exe", tool = m_folder + "\\setup tool.exe";
	ASSERT_TRUE(kt::Touch(atRoot));
	char shortTool[MAX_PATH];
	ASSERT_GT(GetShortPathNameA(tool.c_str(), shortTool, MAX_PATH), 0u);
	const std::tuple<std::string, BOOL, std::string, bool> cases[] = {
		{ shortTool, FALSE, tool, false },
		{ shortTool, TRUE, m_folder + "\\", false },
		{ m_folder, FALSE, m_folder, false }, // a directory in file mode: no trailing backslash
		{ m_folder, FALSE, m_folder, true },
		{ m_root + "\\Long*", FALSE, m_folder, false },
		{ atRoot, TRUE, "C:\\", false },
		{ m_root + "\\missing.exe", FALSE, "sentinel", false },
		{ m_root + "\\" + std::string(300, 'x') + ".exe", FALSE, "sentinel", false }, // too long: no match
		{ "", FALSE, "sentinel", false },
	};
	for (const auto& [path, directory, expected, vanishing] : cases)
	{
		CString result("sentinel");
		KT_STAND_IN(patch, "KERNEL32.dll", GetProcAddress,
			[&](FARPROC* pResult, HMODULE, LPCSTR name)
			{
				*pResult = (FARPROC)&LongPathOfAVanishingFile;
				return vanishing && lstrcmpA(name, "GetLongPathNameA") == 0;
			});
		EXPECT_TRUE(GetFullLongPath(path.c_str(), result, directory)) << path;
		EXPECT_EQ(expected, (LPCSTR)result) << path << (directory ? " (directory)" : "");
	}
	DeleteFileA(atRoot.c_str());
}
