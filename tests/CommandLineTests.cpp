// The command line: the two-phase option parser, and the relaunch command line
// that the new instance must read back exactly, by its real C runtime.
#include <random>

#include "TestSupport.h"
#include "afx/afx.h"
#include "cmdline/CommandLine.h"

// What ParseWaitOptions read from args, as one text: R for the relaunch
// option, A for the run-always option, E for the exit-code option, then
// t[timeout] i[ignored timeout] l[log] c[caption] f[flag] k[known] ...
// n[next] for those given.
static std::string Parsed(const std::vector<std::string>& args)
{
	std::vector<char*> argv{ const_cast<char*>("Kestrune.exe") };
	for (const std::string& a : args)
		argv.push_back(const_cast<char*>(a.c_str()));
	CWaitOptions o;
	ParseWaitOptions((int)argv.size(), argv.data(), o);
	std::string s = std::string(o.bRelaunch ? "R" : "") + (o.bRunAlways ? "A" : "") + (o.extras.bExitCode ? "E" : "");
	if (o.extras.nAppearSeconds != -1)
		s += " t[" + std::to_string(o.extras.nAppearSeconds) + "]";
	for (const CString* p : { &o.strIgnoredTimeout, &o.extras.strLog })
		s += p->IsEmpty() ? "" : (p == &o.extras.strLog ? " l[" : " i[") + std::string(*p) + "]";
	if (o.bCaptionGiven || !o.strCaption.IsEmpty())
		s += (o.bCaptionGiven ? " c[" : " c?[") + std::string(o.strCaption) + "]";
	if (!o.strRebootFlag.IsEmpty())
		s += " f[" + std::string(o.strRebootFlag) + "]";
	for (int i = 0; i < o.astrKnownCommands.GetSize(); ++i)
		s += " k[" + std::string(o.astrKnownCommands[i]) + "]";
	if (o.bNextGiven || !o.strNext.IsEmpty())
		s += (o.bNextGiven ? " n[" : " n?[") + std::string(o.strNext) + "]";
	return s;
}

TEST(ParseWaitOptionsTest, Table)
{
	// argv[1..], and what was parsed from them
	const std::pair<std::vector<std::string>, const char*> cases[] = {
		{ {}, "" },
		{ { "/c=Setup", "/n=next.exe" }, " c[Setup] n[next.exe]" },
		{ { "-C=Setup", "-N=next.exe" }, " c[Setup] n[next.exe]" },
		{ { "/c=A", "/c=B", "/n=x" }, " c[B] n[x]" },
		{ { "/", "word", "/x", "-", "/a", "/alway", "/c=A", "/n=x" }, " c[A] n[x]" },
		{ { "/c", "/n=x" }, " n[x]" },
		{ { "/run", "/c=A", "/n=x" }, "R c[A] n[x]" },
		{ { "/R", "-ALWAYS", "/c=A", "/n=x" }, "RA c[A] n[x]" },
		{ { "-relaunch", "/c=A", "/n=x" }, "R c[A] n[x]" },
		{ { "/always-and-more", "/c=A", "/n=x", "/r", "/always" }, "A c[A] n[x /r /always]" },
		{ { "/n=x", "/c=A" }, " n[x /c=A]" },
		{ { "/c=A", "/n=x", "a", "b" }, " c[A] n[x a b]" },
		{ { "/c=A", "/n=", "x", "a" }, " c[A] n[x a]" },
		{ { "/c=A", "/n=" }, " c[A] n[]" },
		{ { "/c=A", "/n=x", "", "y" }, " c[A] n[x  y]" },
		{ { "/c=A", "/n=", "" }, " c[A] n[]" },
		{ { "/c=A", "/n=x", "a b" }, " c[A] n[x a b]" },
		{ { "/c=", "/n=x" }, " c[] n[x]" },
		{ { "-r", "-c=A", "-n=x" }, "R c[A] n[x]" },
		{ { "/C=MiXed Case", "/N=Run.EXE" }, " c[MiXed Case] n[Run.EXE]" },
		{ { "/c=a=b", "/n=n=1" }, " c[a=b] n[n=1]" },
		{ { "/n=say \"hi\"" }, " n[say \"hi\"]" },
		{ { "/c=A" }, " c[A]" },
		{ { "c=A", "n=x", "f=F", "k=K" }, "" },
		// The reboot flag (the last one counts) and the known commands, in order.
		{ { "/f=HKEY_CURRENT_USER\\S\\V", "/c=A", "/n=x" }, " c[A] f[HKEY_CURRENT_USER\\S\\V] n[x]" },
		{ { "-F=a", "/f=b=c", "/n=x" }, " f[b=c] n[x]" },
		{ { "/k=one", "-K=two words", "/k=", "/k=one", "/n=x" }, " k[one] k[two words] k[] k[one] n[x]" },
		{ { "/n=x", "/f=a", "/k=b" }, " n[x /f=a /k=b]" },
		// Neither new name swallows an old spelling, nor is swallowed by one.
		{ { "/f", "/k", "/fk=a", "/kf=a", "/known=a", "/c=A", "/n=x" }, " c[A] n[x]" },
		{ { "/rf=a", "/rk=b", "/cf=c", "/nk=d", "/c=f=A", "/n=k=x" }, "R c[f=A] n[k=x]" },
		// The timeout (the last whole number up to a day), the exit code and the log, by their whole names.
		{ { "/timeout=0", "-TIMEOUT=86400", "/exitcode", "/log=a", "-LOG=C:\\k 2.log", "/n=x" },
			"E t[86400] l[C:\\k 2.log] n[x]" },
		{ { "/timeout=7", "/timeout=86401", "/timeout=-1", "/timeout= 5", "/timeout=", "/n=x" },
			" t[7] i[/timeout=] n[x]" },
		{ { "/timeout", "/time=5", "/exit", "/log", "/n=x", "/timeout=5" }, " n[x /timeout=5]" },
	};
	for (const auto& [args, parsed] : cases)
		EXPECT_EQ(parsed, Parsed(args)) << "args " << ::testing::PrintToString(args);
}

TEST(BuildWaiterCommandTest, ValuesAreQuotedForTheCrtInBothForms)
{
	struct
	{
		LPCSTR exe;
		BOOL relaunch;
		LPCSTR caption, next, line, flag = nullptr;
		std::vector<LPCSTR> known = {};
		BOOL always = FALSE;
		CWaitExtras extras = {};
	} cases[] = {
		{ "C:\\Tools\\K.exe", FALSE, "Setup", "next.exe /q", "\"C:\\Tools\\K.exe\" \"/c=Setup\" \"/n=next.exe /q\"" },
		{ "K.exe", FALSE, "", "", "\"K.exe\" \"/c=\" \"/n=\"" },
		{ "K", TRUE, "", "", "\"K\" /r \"/c=\" \"/n=\"" },
		{ "K", TRUE, "A", "x", "\"K\" /r /always \"/c=A\" \"/n=x\"", nullptr, {}, TRUE },
		// The reboot flag and known commands between the caption and the next command.
		{ "K", TRUE, "A", "x",
			"\"K\" /r \"/c=A\" \"/f=HKEY_CURRENT_USER\\S\\F\" \"/k=C:\\p \\\"q\\\\\" \"/k=\" \"/n=x\"",
			"HKEY_CURRENT_USER\\S\\F", { "C:\\p \"q\\", "" } },
		{ "K", FALSE, "A", "x", "\"K\" \"/c=A\" \"/n=x\"", "" },
		{ "K", TRUE, "A", "x", "\"K\" /r /always /exitcode /timeout=0 \"/log=C:\\l \\\"q\\\"\" \"/c=A\" \"/n=x\"",
			nullptr, {}, TRUE, CWaitExtras{ 0, TRUE, "C:\\l \"q\"" } },
		{ NULL, FALSE, "c", "n", nullptr }, // refused (no line): the line is left as it was
		{ "K", TRUE, NULL, "n", nullptr },
		{ "K", TRUE, "c", NULL, nullptr },
	};
	for (const auto& c : cases)
	{
		CStringArray known;
		for (LPCSTR k : c.known)
			known.Add(k);
		CString line("keep");
		EXPECT_EQ(!!c.line,
			!!BuildWaiterCommand(c.exe, c.relaunch, c.caption, c.next, line, c.flag, &known, c.always, &c.extras));
		EXPECT_STREQ(c.line != nullptr ? c.line : "keep", (LPCSTR)line);
	}
}

// Random captions and commands made of the characters that quoting can get
// wrong; in a double-byte code page also characters whose trail byte is a
// backslash.
static std::string RandomValue(std::mt19937& rng)
{
	static const char* const pieces[] = { "a", "Z", " ", "\t", "\"", "\\", "\\\\", "*", "?", "/", "-", "=", "\xe9",
		"%s", "^" };
	static const char* const dbcs[] = { "\x83\x5c", "\x95\x5c", "\x82\xa0", "\x88\x9f" };
	const bool doubleByte = GetACP() == 932;
	std::string value;
	for (int n = std::uniform_int_distribution<int>(0, 12)(rng); n > 0; --n)
	{
		const char* piece = pieces[rng() % std::size(pieces)];
		// A lone lead byte is no character of a double-byte code page.
		if (doubleByte && (rng() % 4 == 0 || (BYTE)piece[0] >= 0x80))
			piece = dbcs[rng() % std::size(dbcs)];
		value += piece;
	}
	return value;
}

// Each line starts kt_record, whose C runtime must give back exactly every
// option; under code page 932 as well (a second run).
TEST(BuildWaiterCommandTest, TheRuntimeReadsEveryRandomLineBackExactly)
{
	std::mt19937 rng(20261208);
	std::vector<std::vector<std::string>> expected;
	std::vector<std::string> lines;
	for (int i = 0; i < 400; ++i)
	{
		std::string caption = RandomValue(rng), flag = "F" + RandomValue(rng), known = RandomValue(rng),
					next = RandomValue(rng);
		CStringArray knowns;
		knowns.Add(known.c_str());
		CString line;
		ASSERT_TRUE(BuildWaiterCommand(
			kt::BinPath("kt_record.exe").c_str(), FALSE, caption.c_str(), next.c_str(), line, flag.c_str(), &knowns));
		lines.push_back((LPCSTR)line);
		expected.push_back({ "/c=" + caption, "/f=" + flag, "/k=" + known, "/n=" + next });
	}
	kt::ExpectRecordedArguments(lines, expected);
}

// In UTF-8 a path of 260 characters takes up to 780 bytes: the whole path, never a cut one.
TEST(ModuleFileNameTest, WholePathWhateverItsLengthInBytes)
{
	CString path;
	ASSERT_TRUE(AfxGetModuleFileName(path));
	EXPECT_EQ(kt::BinPath("command_line_tests.exe"), std::string(path));
	// GetModuleFileNameA as Wine answers in UTF-8: a path that does not fit is
	// cut after a whole character, and what was kept is reported.
	std::string module;
	KT_STAND_IN(patch, "KERNEL32.dll", GetModuleFileNameA,
		[&](DWORD* pResult, HMODULE, LPSTR buffer, DWORD size)
		{
			size_t n = std::min<size_t>(module.size(), size - 1);
			while (n < module.size() && (module[n] & 0xC0) == 0x80)
				--n;
			*pResult = (DWORD)lstrlenA(lstrcpynA(buffer, module.c_str(), (int)n + 1));
			return true;
		});
	for (int characters : { 85, 86, 87, 259, 10000 }) // 3 bytes each in UTF-8, after "C:\"
	{
		module = "C:\\" + kt::Narrow(std::wstring(characters, L'\x30bb'), CP_UTF8);
		EXPECT_TRUE(AfxGetModuleFileName(path)) << characters;
		EXPECT_EQ(module, std::string(path)) << characters;
	}
}
