// Double-byte text under code page 932, where a trail byte can equal a
// backslash or an ASCII letter. This program runs with LANG=ja_JP.UTF-8; the
// double-byte text is built here, not passed through a shell.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "afx/afx.h"
#include "restart/CommandPath.h"
#include "waitproc/WaitProcThread.h"

// Shift-JIS: SO (0x83 0x5C) ends in a backslash byte, TSU (0x83 0x63) in 'c',
// and SE TTO A (0x83 0x5A, 0x83 0x62, 0x83 0x67) form "setto".
#define SJIS_SO    "\x83\x5c"
#define SJIS_TSU   "\x83\x63"
#define SJIS_SETTO "\x83\x5a\x83\x62\x83\x67"

TEST(Cp932Test, ProcessRunsUnderCodePage932)
{
	ASSERT_EQ(932u, GetACP()) << "the test run must set LANG=ja_JP.UTF-8";
}

TEST(Cp932Test, StringOperationsStepOverWholeCharacters)
{
	CString s(SJIS_TSU "c" SJIS_SO "x");
	s.MakeUpper();
	EXPECT_STREQ(SJIS_TSU "C" SJIS_SO "X", (LPCSTR)s) << "a trail byte was upper-cased";
	EXPECT_EQ(-1, s.Find("\\")) << "a trail byte was found as a backslash";
	EXPECT_EQ(2, s.Find("C"));
	EXPECT_EQ(3, s.Find(SJIS_SO));
}

TEST(Cp932Test, CaptionProbeMatchesWholeJapaneseCharactersOnly)
{
	std::string id = kt::UniqueName("KtJa");
	kt::CaptionWindows windows;
	ASSERT_TRUE(windows.Start(id + " " SJIS_SETTO SJIS_SO " Setup", "60000"));
	CWaitProcThread worker;
	struct
	{
		std::string prefix;
		bool found;
	} cases[] = {
		{ id + " " SJIS_SETTO, true },
		{ id + " " SJIS_SETTO SJIS_SO, true },
		{ id + " " SJIS_SETTO SJIS_SO " setup", true },
		{ id + " \x83", false }, // ends inside a double-byte character
		{ id + " " SJIS_SETTO "\x83", false },
		{ id + " " SJIS_SETTO SJIS_TSU, false },
	};
	for (const auto& c : cases)
		EXPECT_EQ(c.found, worker.FindCaptionWindow(c.prefix.c_str()) != NULL) << "prefix " << kt::ToHex(c.prefix);
}

TEST(Cp932Test, RebootFlagPathWhoseTrailBytesEqualABackslash)
{
	kt::ScratchKey key(HKEY_CURRENT_USER);
	CRegKey hSub;
	ASSERT_EQ(ERROR_SUCCESS, hSub.Create(key.Key(), "a" SJIS_SO));
	ASSERT_TRUE(kt::SetDword(hSub, "v" SJIS_SO, 1));
	ASSERT_TRUE(kt::SetDword(hSub, "v", 1));
	CWaitProcThread worker;
	// Neither scan may split at the trail byte: "...\a<SO>\v<SO>" is key a<SO>, value v<SO>.
	EXPECT_TRUE(worker.CheckRebootFlag(("HKEY_CURRENT_USER\\" + key.Path() + "\\a" SJIS_SO "\\v" SJIS_SO).c_str()));
	EXPECT_FALSE(kt::ValueExists(hSub, "v" SJIS_SO));
	EXPECT_TRUE(kt::ValueExists(hSub, "v"));
}

TEST(Cp932Test, RemoveCharAndEscapeQuotesKeepDoubleByteCharactersWhole)
{
	CString s("a" SJIS_SO "\\b\\");
	RemoveChar(s, '\\');
	EXPECT_STREQ("a" SJIS_SO "b", (LPCSTR)s);
	CString t("x\"\x83"); // a lead byte alone at the end
	RemoveChar(t, '"');
	EXPECT_STREQ("x\x83", (LPCSTR)t);

	CWaitProcThread worker;
	struct
	{
		const char* in;
		const char* out;
	} cases[] = {
		{ SJIS_SO, SJIS_SO }, // its trail byte is no backslash to double
		{ SJIS_SO "\"", SJIS_SO "\\\"" },
		{ "\\" SJIS_SO "\\", "\\" SJIS_SO "\\\\" },
	};
	for (const auto& c : cases)
	{
		CString r;
		EXPECT_TRUE(worker.EscapeQuotes(c.in, r));
		EXPECT_EQ(kt::ToHex(c.out), kt::ToHex((LPCSTR)r)) << kt::ToHex(c.in);
	}
}
