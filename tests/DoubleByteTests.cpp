// Double-byte text under code pages 932, 936 and 950, where a trail byte can be a
// backslash or an ASCII letter, built here rather than passed through a shell; this
// program runs once under each (LC_ALL=ja_JP.UTF-8, zh_CN.UTF-8, zh_TW.UTF-8).
#include "TestSupport.h"
#include "afx/afxwide.h"
#include "cmdline/CommandLine.h"
#include "restart/CommandPath.h"
#include "waitproc/WaitProcThread.h"

// Characters of the active code page: x5c, one whose trail byte is a
// backslash (Shift-JIS SO, GBK 乗, Big5 功); xc, one whose trail byte is 'c'
// (Shift-JIS TSU, GBK 乧, Big5 勺); word, a word of three (Shift-JIS "setto",
// GBK and Big5 "zhongwenzi"); and lead, the lead byte of x5c alone.
class DoubleByteTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		const std::tuple<UINT, const char*, const char*, const char*> pages[] = {
			{ 932, "\x83\x5c", "\x83\x63", "\x83\x5a\x83\x62\x83\x67" },
			{ 936, "\x81\x5c", "\x81\x63", "\xd6\xd0\xce\xc4\xd7\xd6" },
			{ 950, "\xa5\x5c", "\xa4\x63", "\xa4\xa4\xa4\xe5\xa6\x72" },
		};
		for (const auto& [codePage, backslashTrail, letterTrail, three] : pages)
			if (codePage == GetACP() && IsDBCSLeadByte((BYTE)backslashTrail[0]))
				x5c = backslashTrail, xc = letterTrail, word = three, lead = x5c.substr(0, 1);
		ASSERT_FALSE(x5c.empty()) << "code page " << GetACP() << ": LC_ALL must name a double-byte locale";
	}

	std::string x5c, xc, word, lead;
};

TEST_F(DoubleByteTest, StringsOptionsCaptionsAndTheRelaunchLineStepOverWholeCharacters)
{
	CWideString wide;
	ASSERT_TRUE(wide.Convert((xc + "c" + x5c + "x").c_str()));
	wide.MakeUpper();
	CString s((LPCWSTR)wide);
	EXPECT_EQ(kt::ToHex(xc + "C" + x5c + "X"), kt::ToHex((LPCSTR)s)) << "a trail byte was upper-cased";
	EXPECT_FALSE(wide.Convert((word + lead).c_str())) << "a lone lead byte was converted";
	EXPECT_EQ(0, wide.GetLength());
	EXPECT_EQ(-1, s.Find("\\")) << "a trail byte was found as a backslash";
	EXPECT_EQ(-1, s.Find("c"));
	EXPECT_EQ(2, s.Find("C"));
	EXPECT_EQ(3, s.Find(x5c.c_str()));

	// A trail byte equal to the option's letter makes no option.
	std::string args[] = { "/" + xc + "=A", "/c=" + x5c, "/n=" + x5c + "\\" };
	char* argv[] = { const_cast<char*>("Kestrune.exe"), &args[0][0], &args[1][0], &args[2][0] };
	CWaitOptions options;
	ParseWaitOptions((int)std::size(argv), argv, options);
	EXPECT_EQ(kt::ToHex(x5c), kt::ToHex((LPCSTR)options.strCaption));
	EXPECT_EQ(kt::ToHex(x5c + "\\"), kt::ToHex((LPCSTR)options.strNext));

	// The relaunch line reads back exactly: the new instance splits it by the C
	// runtime's rules, which take a double-byte character whole, so no trail byte is doubled.
	const std::pair<std::string, std::string> values[] = { { x5c, x5c + "\"" + x5c },
		{ "\\" + x5c + "\\", x5c + " " + word + "\\" } };
	std::vector<std::string> lines;
	std::vector<std::vector<std::string>> expected;
	for (const auto& [caption, next] : values)
	{
		CString line;
		ASSERT_TRUE(
			BuildWaiterCommand(kt::BinPath("kt_record.exe").c_str(), FALSE, caption.c_str(), next.c_str(), line));
		lines.push_back((LPCSTR)line);
		expected.push_back({ "/c=" + caption, "/n=" + next });
	}
	kt::ExpectRecordedArguments(lines, expected);

	// The caption probe matches whole characters only.
	const std::string id = kt::UniqueName("KtDbcs") + " ";
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(id + word + x5c + " Setup", 60000));
	CWaitProcThread worker;
	for (const std::string& prefix : { id + word, id + word + x5c, id + word + x5c + " setup" })
		EXPECT_NE(nullptr, worker.FindCaptionWindow(prefix.c_str())) << "prefix " << kt::ToHex(prefix);
	for (const std::string& prefix : { id + lead, id + word + lead, id + word + xc }) // lead ends inside a character
		EXPECT_EQ(nullptr, worker.FindCaptionWindow(prefix.c_str())) << "prefix " << kt::ToHex(prefix);
}

TEST_F(DoubleByteTest, PathsKeepDoubleByteCharactersWhole)
{
	kt::ScratchDir dir;
	const std::string folder = kt::LongPath(dir.Path()) + "\\a" + x5c;
	ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL)) << kt::ToHex(folder) << " error " << GetLastError();
	const std::string program = folder + "\\" + x5c + ".exe";
	ASSERT_TRUE(kt::Touch(program));
	CString result;
	ASSERT_TRUE(SplitCommandLine(("\"" + program + "\" /s " + x5c).c_str(), result));
	EXPECT_EQ(kt::ToHex("\"" + program + "\" /s " + x5c), kt::ToHex((LPCSTR)result));
	ASSERT_TRUE(GetFullLongPath(program.c_str(), result, TRUE));
	EXPECT_EQ(kt::ToHex(folder + "\\"), kt::ToHex((LPCSTR)result));

	const std::pair<std::string, std::string> removals[] = {
		{ "a" + x5c + "\\b\\", "a" + x5c + "b" }, { "x\"" + lead, "x" + lead }, // a lead byte alone at the end
		{ "xy" + lead, "xy" + lead },                                           // the same with nothing removed
	};
	for (const auto& [in, out] : removals)
	{
		CString s(in.c_str());
		RemoveChar(s, in.find('\\') != std::string::npos ? '\\' : '"');
		EXPECT_EQ(kt::ToHex(out), kt::ToHex(std::string(s, s.GetLength()))) << kt::ToHex(in);
	}

	// A flag path, where neither scan may split at the trail byte: "...\a<X>\v<X>" is key a<X>, value v<X>.
	kt::ScratchKey key(HKEY_CURRENT_USER);
	CRegKey hSub;
	ASSERT_EQ(ERROR_SUCCESS, hSub.Create(key.Key(), ("a" + x5c).c_str()));
	ASSERT_TRUE(kt::SetDword(hSub, ("v" + x5c).c_str(), 1));
	ASSERT_TRUE(kt::SetDword(hSub, "v", 1));
	CWaitProcThread worker;
	EXPECT_TRUE(worker.CheckRebootFlag(("HKEY_CURRENT_USER\\" + key.Path() + "\\a" + x5c + "\\v" + x5c).c_str()));
	EXPECT_FALSE(kt::ValueExists(hSub, ("v" + x5c).c_str()));
	EXPECT_TRUE(kt::ValueExists(hSub, "v"));
}
