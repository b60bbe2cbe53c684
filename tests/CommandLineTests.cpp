// The command line: the two-phase option parser, and the relaunch command line
// that the new instance must read back exactly, by its real C runtime.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "afx/afx.h"
#include "app/CommandLine.h"

namespace
{

struct ParseCase
{
	std::vector<std::string> args; // argv[1..]
	bool relaunch, captionGiven;
	const char* caption;
	bool nextGiven;
	const char* next;
};

CWaitOptions Parse(const std::vector<std::string>& args)
{
	std::vector<char*> argv{ const_cast<char*>("Kestrune.exe") };
	for (const std::string& a : args)
		argv.push_back(const_cast<char*>(a.c_str()));
	CWaitOptions options;
	ParseWaitOptions((int)argv.size(), argv.data(), options);
	return options;
}

std::string Join(const std::vector<std::string>& args)
{
	std::string s;
	for (const std::string& a : args)
		s += "[" + a + "]";
	return s;
}

} // namespace

TEST(ParseWaitOptionsTest, Table)
{
	const ParseCase cases[] = {
		{ {}, false, false, "", false, "" },
		{ { "/c=Setup", "/n=next.exe" }, false, true, "Setup", true, "next.exe" },
		{ { "-C=Setup", "-N=next.exe" }, false, true, "Setup", true, "next.exe" },
		{ { "/c=A", "/c=B", "/n=x" }, false, true, "B", true, "x" },
		{ { "word", "/x", "/c=A", "/n=x" }, false, true, "A", true, "x" },
		{ { "/c", "/n=x" }, false, false, "", true, "x" },
		{ { "/run", "/c=A", "/n=x" }, true, true, "A", true, "x" },
		{ { "/R", "/c=A", "/n=x" }, true, true, "A", true, "x" },
		{ { "-relaunch", "/c=A", "/n=x" }, true, true, "A", true, "x" },
		{ { "/c=A", "/n=x", "/r" }, false, true, "A", true, "x /r" },
		{ { "/n=x", "/c=A" }, false, false, "", true, "x /c=A" },
		{ { "/c=A", "/n=x", "a", "b" }, false, true, "A", true, "x a b" },
		{ { "/c=A", "/n=", "x", "a" }, false, true, "A", true, "x a" },
		{ { "/c=A", "/n=" }, false, true, "A", true, "" },
		{ { "/c=A", "/n=x", "", "y" }, false, true, "A", true, "x  y" },
		{ { "/c=A", "/n=", "" }, false, true, "A", true, "" },
		{ { "/c=A", "/n=x", "a b" }, false, true, "A", true, "x a b" },
		{ { "/c=", "/n=x" }, false, true, "", true, "x" },
		{ { "-r", "-c=A", "-n=x" }, true, true, "A", true, "x" },
		{ { "/C=MiXed Case", "/N=Run.EXE" }, false, true, "MiXed Case", true, "Run.EXE" },
		{ { "/c=a=b", "/n=n=1" }, false, true, "a=b", true, "n=1" },
		{ { "/n=say \"hi\"" }, false, false, "", true, "say \"hi\"" },
		{ { "/c=A" }, false, true, "A", false, "" },
		{ { "c=A", "n=x" }, false, false, "", false, "" },
		{ { "/", "-", "/c=A", "/n=x" }, false, true, "A", true, "x" },
	};
	for (const ParseCase& c : cases)
	{
		CWaitOptions o = Parse(c.args);
		SCOPED_TRACE(Join(c.args));
		EXPECT_EQ(c.relaunch, !!o.bRelaunch);
		EXPECT_EQ(c.captionGiven, !!o.bCaptionGiven);
		EXPECT_STREQ(c.caption, (LPCSTR)o.strCaption);
		EXPECT_EQ(c.nextGiven, !!o.bNextGiven);
		EXPECT_STREQ(c.next, (LPCSTR)o.strNext);
	}
}

TEST(BuildWaiterCommandTest, ValuesAreQuotedForTheCrtInBothForms)
{
	struct
	{
		const char* exe;
		BOOL relaunch;
		const char* caption;
		const char* next;
		const char* line;
	} cases[] = {
		{ "C:\\Tools\\Kestrune.exe", FALSE, "Setup", "next.exe /q",
			"\"C:\\Tools\\Kestrune.exe\" \"/c=Setup\" \"/n=next.exe /q\"" },
		{ "K.exe", FALSE, "", "", "\"K.exe\" \"/c=\" \"/n=\"" },
		{ "K", FALSE, "Setup", "say \"hi\"", "\"K\" \"/c=Setup\" \"/n=say \\\"hi\\\"\"" },
		{ "K", FALSE, "A \"B\"", "x", "\"K\" \"/c=A \\\"B\\\"\" \"/n=x\"" },
		{ "K", FALSE, "A", "xcopy C:\\a\\ C:\\b\\", "\"K\" \"/c=A\" \"/n=xcopy C:\\a\\ C:\\b\\\\\"" },
		{ "K", FALSE, "A", "a\\\"b", "\"K\" \"/c=A\" \"/n=a\\\\\\\"b\"" },
		{ "K", FALSE, "C:\\dir\\", "run \\\\server\\share", "\"K\" \"/c=C:\\dir\\\\\" \"/n=run \\\\server\\share\"" },
		{ "C:\\Kestrune.exe", TRUE, "Setup \"A\"", "\"C:\\P F\\s.exe\" /s",
			"\"C:\\Kestrune.exe\" /r \"/c=Setup \\\"A\\\"\" \"/n=\\\"C:\\P F\\s.exe\\\" /s\"" },
		{ "K", TRUE, "", "", "\"K\" /r \"/c=\" \"/n=\"" },
	};
	for (const auto& c : cases)
	{
		CString line;
		ASSERT_TRUE(BuildWaiterCommand(c.exe, c.relaunch, c.caption, c.next, line)) << c.line;
		EXPECT_STREQ(c.line, (LPCSTR)line);
	}
	CString untouched("keep");
	EXPECT_FALSE(BuildWaiterCommand(NULL, FALSE, "c", "n", untouched));
	EXPECT_FALSE(BuildWaiterCommand("K", TRUE, NULL, "n", untouched));
	EXPECT_FALSE(BuildWaiterCommand("K", TRUE, "c", NULL, untouched));
	EXPECT_STREQ("keep", (LPCSTR)untouched);
}

// Random captions and commands made of the characters that quoting can get
// wrong; in a double-byte code page also characters whose trail byte is a
// backslash.
static std::string RandomValue(std::mt19937& rng)
{
	static const char* const pieces[] = { "a", "Z", " ", "\t", "\"", "\\", "\\\\", "*", "?", "/", "-", "=", "\xe9",
		"%s", "^" };
	static const char* const dbcs[] = { "\x83\x5c", "\x95\x5c", "\x82\xa0", "\x88\x9f" };
	bool doubleByte = GetACP() == 932;
	std::string value;
	int length = std::uniform_int_distribution<int>(0, 12)(rng);
	for (int i = 0; i < length; ++i)
	{
		if (doubleByte && rng() % 4 == 0)
			value += dbcs[rng() % 4];
		else
		{
			// A lone lead byte is no character of a double-byte code page.
			const char* piece = pieces[rng() % (sizeof(pieces) / sizeof(pieces[0]))];
			value += doubleByte && (BYTE)piece[0] >= 0x80 ? "e" : piece;
		}
	}
	return value;
}

// Each line starts kt_record, whose C runtime must give back exactly the
// caption and command options; under code page 932 as well (a second run).
TEST(BuildWaiterCommandTest, TheRuntimeReadsEveryRandomLineBackExactly)
{
	std::mt19937 rng(20261208);
	std::vector<std::vector<std::string>> expected;
	std::vector<std::string> lines;
	for (int i = 0; i < 400; ++i)
	{
		std::string caption = RandomValue(rng), next = RandomValue(rng);
		CString line;
		ASSERT_TRUE(
			BuildWaiterCommand(kt::BinPath("kt_record.exe").c_str(), FALSE, caption.c_str(), next.c_str(), line));
		lines.push_back((LPCSTR)line);
		expected.push_back({ "/c=" + caption, "/n=" + next });
	}
	kt::ScratchDir dir;
	std::vector<std::vector<std::string>> got = kt::RecordedArguments(lines, dir, "random");
	for (size_t i = 0; i < lines.size(); ++i)
		EXPECT_EQ(expected[i], got[i]) << "line " << kt::ToHex(lines[i]);
}

TEST(ModuleFileNameTest, FullPathOrFailureNeverACutPath)
{
	CString path;
	ASSERT_TRUE(AfxGetModuleFileName(path, MAX_PATH + 1));
	EXPECT_EQ(kt::BinPath("command_line_tests.exe"), std::string(path));
	// A buffer the path fills exactly has cut it: a failure.
	int length = path.GetLength();
	EXPECT_FALSE(AfxGetModuleFileName(path, length));
	EXPECT_TRUE(path.IsEmpty()) << "got " << (LPCSTR)path;
	EXPECT_TRUE(AfxGetModuleFileName(path, length + 1));
	EXPECT_EQ(length, path.GetLength());
}
