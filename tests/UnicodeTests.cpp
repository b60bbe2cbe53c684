// Text outside the system's code page through the real Kestrune.exe, which
// runs in UTF-8 where Windows allows it. This program's texts are UTF-8 too, by
// the same manifest element, also when run under code page 932 (LC_ALL): it
// starts programs by CreateProcessW as a Unicode program does, shows captions
// in windows of a Unicode class and reads the follow-up's UTF-16 arguments.
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

// Greek, Cyrillic and Japanese, none in code page 1252; the Polish and the
// accented Greek letters are not in code page 932 either.
const std::string kTitle = "Εγκατάσταση Установка セットアップ";
const std::string kTitleOtherCase = "ΕΓΚΑΤΆΣΤΑΣΗ установка セットアップ";
const std::vector<std::string> kArgs = { "follow-up", "Żółć", "«Ωμέγα» 日本語" };
const std::string kArgsLine = " follow-up Żółć \"«Ωμέγα» 日本語\"";

class UnicodeTest : public ::testing::Test
{
protected:
	// The recorder and a copy of the utility in a folder named in three
	// scripts, whose paths take more than MAX_PATH bytes in UTF-8, fewer characters.
	void SetUp() override
	{
		ASSERT_EQ((UINT)CP_UTF8, GetACP());
		m_folder = m_dir.Path() + "\\Łukasz Ωμέγα " + kt::Narrow(std::wstring(70, L'セ'), CP_UTF8);
		ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), NULL)) << GetLastError();
		for (const char* name : { "kt_record.exe", "Kestrune.exe" })
			ASSERT_TRUE(CopyFileA(kt::BinPath(name).c_str(), (m_folder + "\\" + name).c_str(), FALSE));
		m_recorder = m_folder + "\\kt_record.exe";
		ASSERT_GT(m_recorder.size(), (size_t)MAX_PATH);
	}

	// The launcher's next-command argument for the recorder at path.
	static std::string Next(const std::string& path)
	{
		return "\"/n=\\\"" + path + "\\\" follow-up Żółć \\\"«Ωμέγα» 日本語\\\"\"";
	}

	kt::ScratchDir m_dir;
	std::string m_folder, m_recorder;
};

// lstrcmpiA as Windows documents it: through the thread locale's code page,
// here 1252 (Wine's goes through the process's).
static int WINAPI CompareIn1252(LPCSTR a, LPCSTR b)
{
	std::wstring wa = kt::Widen(a, 1252), wb = kt::Widen(b, 1252);
	return CompareStringW(0x409, NORM_IGNORECASE, wa.c_str(), -1, wb.c_str(), -1) - CSTR_EQUAL;
}

// Letter case is compared in UTF-16: with a thread code page of 1252, as on an
// English Windows, lstrcmpiA reads UTF-8 bytes in it, taking Greek in other case
// for other text and Cyrillic К, М for Њ, Ќ (the same lead byte, trail bytes a
// case pair in 1252). A prefix cut inside a character matches nothing, not even
// a caption holding the replacement character a lax conversion makes of the cut.
TEST_F(UnicodeTest, CaptionProbeAndDebugLineInUtf8)
{
	kt::ImportPatch asOnWindows("KERNEL32.dll", "lstrcmpiA", (void*)&CompareIn1252); // while the probe imports it
	const std::string id = kt::UniqueName("KtUtf8") + " ";
	kt::CaptionWindows windows, pairs;
	ASSERT_TRUE(windows.Start(id + kTitle, 60000));
	ASSERT_TRUE(pairs.Start(id + "ЊЌ\uFFFD", 60000));
	CWaitProcThread worker;
	for (const std::string& prefix : { id + kTitle, id + kTitleOtherCase, id + "њќ" })
		EXPECT_NE(nullptr, worker.FindCaptionWindow(prefix.c_str())) << "prefix " << kt::ToHex(prefix);
	// Ending inside the two bytes of γ; the 1252 case pairs; inside the three bytes of U+FFFD.
	for (const std::string& prefix : { id + kTitle.substr(0, 3), id + "КМ", id + "ЊЌ\xef" })
		EXPECT_EQ(nullptr, worker.FindCaptionWindow(prefix.c_str())) << "prefix " << kt::ToHex(prefix);

	kt::DebugCapture capture;
	ASSERT_TRUE(capture.IsApplied());
	WriteDebugLine("SUCCESS", "Żółć 日本語");
	EXPECT_EQ(std::vector<std::wstring>{ L"SUCCESS: Żółć 日本語\n" }, capture.Texts());
}

// Directly and through the relaunch of the copy, whose own path is longer
// than MAX_PATH bytes, the follow-up runs with its exact words. With a reboot
// pending the copy registers it: the plain form with the program's long path
// for its short one, the restart form naming the copy by its own path. The
// flag's key is in two scripts; the known setup's entry, named in Cyrillic of
// the other case, takes more bytes in UTF-8 than UTF-16, name too.
TEST_F(UnicodeTest, FollowUpRunsOrIsRegisteredWithItsExactWords)
{
	std::wstring shortPath(MAX_PATH, L'\0');
	shortPath.resize(GetShortPathNameW(kt::Widen(m_recorder).c_str(), &shortPath[0], MAX_PATH));
	ASSERT_NE(L"", shortPath);
	ASSERT_NE(kt::Widen(m_recorder), shortPath);
	kt::ScratchKey flag(HKEY_CURRENT_USER);
	const std::string flagKey = flag.Path() + "\\Ωμέγα セ", id = kt::UniqueName("KtUnicode") + " ";
	const std::string flagged = "\"/f=HKEY_CURRENT_USER\\" + flagKey + "\\RebootPending\" /k=УСТАНОВКА.EXE ";
	const std::string ran = "\"" + m_recorder + "\"" + kArgsLine;
	// The options before the caption, the next command, the command of the one
	// debug line (none when empty), and whether a known setup is pending.
	const std::tuple<std::string, std::string, std::string, bool> rows[] = {
		{ "", Next(m_recorder), ran, false },
		{ "/r ", Next(m_recorder), "", false },
		{ flagged, Next(kt::Narrow(shortPath)), ran, false },
		{ flagged, "\"/n=C:\\Программы\\Żółć.exe «Ωμέγα»\"",
			"\"" + m_folder + "\\Kestrune.exe\" /r /always \"/c=" + id + kTitleOtherCase
				+ "\" \"/n=\\\"C:\\Программы\\Żółć.exe\\\" «Ωμέγα»\"",
			true },
	};
	for (const auto& [options, next, line, known] : rows)
	{
		SCOPED_TRACE(options + next);
		kt::RecordFile record;
		kt::RunOnceKey runOnce({ "Ktセットアップ" });
		ASSERT_TRUE(!known
			|| kt::SetValue(runOnce.Key(), "Ktセットアップ", REG_SZ,
				"\"C:\\プログラム\\セットアップ\\日本語のセットアッププログラム\\установка.exe\" /x"));
		const bool registers = options == flagged;
		kt::CaptionWindows windows;
		ASSERT_TRUE(windows.Start(id + kTitle, 2000, false, 1, registers ? flagKey : "", true));
		std::vector<std::string> texts;
		ASSERT_TRUE(kt::RunUnderDebugger(
			options + "\"/c=" + id + kTitleOtherCase + "\" " + next, 60000, &texts, m_folder + "\\Kestrune.exe"));
		EXPECT_EQ(
			std::vector<std::string>(!line.empty(), (registers ? "REGISTERED: " : "SUCCESS: ") + line + "\n"), texts);
		if (!registers)
		{
			std::vector<kt::Record> runs = record.AwaitRuns(60000);
			ASSERT_EQ(1u, runs.size());
			EXPECT_EQ(kArgs, runs[0].args);
			continue;
		}
		std::wstring value(1024, L'\0');
		DWORD cb = (DWORD)(value.size() * sizeof(wchar_t)); // its type is read by the restart tests
		ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(runOnce.Key(), L"Vormelle", NULL, NULL, (BYTE*)&value[0], &cb));
		value.resize(cb / sizeof(wchar_t));
		EXPECT_EQ(kt::Widen(line + '\0', CP_UTF8), value);
		CRegKey hFlag;
		ASSERT_EQ(ERROR_SUCCESS, hFlag.Open(HKEY_CURRENT_USER, flagKey.c_str()));
		EXPECT_FALSE(kt::ValueExists(hFlag, "RebootPending")) << "the flag was not consumed";
		EXPECT_TRUE(record.Runs().empty());
	}
	// A line registered already reads back as the same line, though its UTF-8
	// takes more bytes than the UTF-16 size that Windows gives for it.
	kt::RunOnceKey runOnce;
	// RegQueryValueExA as Windows answers a size query, with the UTF-16 size.
	KT_STAND_IN(patch, "ADVAPI32.dll", RegQueryValueExA, nullptr,
		[](LONG& result, HKEY h, LPCSTR name, LPDWORD, LPDWORD, LPBYTE data, LPDWORD cbData)
		{
			if (result == ERROR_SUCCESS && data == NULL)
				result = RegQueryValueExW(h, kt::Widen(name).c_str(), NULL, NULL, NULL, cbData);
		});
	CWaitProcThread worker;
	for (int i = 0; i < 2; ++i)
		EXPECT_TRUE(worker.RegisterRestart(("\"" + m_recorder + "\" " + kTitle).c_str(), TRUE, "Cap"));
	EXPECT_EQ(std::vector<std::string>{ "Vormelle" }, runOnce.Registrations());
}
