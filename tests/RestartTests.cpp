// The restart command line and the RunOnce registration, with the real
// HKEY_LOCAL_MACHINE RunOnce key of the test prefix.
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

TEST(BuildRestartCommandTest, TemporaryCopyIsWritableAndNeedsTheUtilityBesideTheExecutable)
{
	char temp[MAX_PATH];
	const std::string copy = std::string(temp, GetTempPathA(MAX_PATH, temp)) + "Kestrune.exe";
	SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
	ASSERT_TRUE(kt::Touch(copy));
	ASSERT_TRUE(SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));

	// A read-only utility file gives a copy without the read-only attribute.
	std::string utility = kt::BinPath("Kestrune.exe");
	DWORD attributes = GetFileAttributesA(utility.c_str());
	ASSERT_TRUE(SetFileAttributesA(utility.c_str(), attributes | FILE_ATTRIBUTE_READONLY));
	CWaitProcThread worker;
	CString line;
	BOOL built = worker.BuildRestartCommand("Cap", "cmd", line, TRUE);
	SetFileAttributesA(utility.c_str(), attributes);
	ASSERT_TRUE(built);

	EXPECT_EQ("\"" + copy + "\" /r /always \"/c=Cap\" \"/n=cmd\"", (LPCSTR)line);
	EXPECT_EQ(kt::ReadText(utility).size(), kt::ReadText(copy).size()) << "the copy is not the utility";
	EXPECT_EQ(0u, GetFileAttributesA(copy.c_str()) & FILE_ATTRIBUTE_READONLY);
	SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
	DeleteFileA(copy.c_str());

	// The timeout and the log go with it (as the reboot tests show) while the
	// line stays within the 260 characters that Windows runs; past them it
	// goes without, and the log says so.
	kt::ScratchDir logDir;
	ASSERT_TRUE(AfxOpenLog(logDir.File("k.log").c_str()));
	const std::string head = "\"" + kt::LongPath(utility) + "\" /r /always ";
	worker.m_extras = CWaitExtras{ 0, FALSE, std::string(260 - head.size(), 'x').c_str() };
	ASSERT_TRUE(worker.BuildRestartCommand("Cap", "cmd", line, FALSE));
	EXPECT_EQ(head + "\"/c=Cap\" \"/n=cmd\"", (LPCSTR)line);
	AfxOpenLog(NULL);
	EXPECT_NE(std::string::npos, kt::ReadText(logDir.File("k.log")).find("] restart line without the timeout and log"));

	// This program in a folder where no utility file lies beside it: no command at all.
	kt::ScratchDir dir;
	const std::string module = dir.File("restart_tests.exe");
	ASSERT_TRUE(kt::Touch(module));
	KT_STAND_IN(patch, "KERNEL32.dll", GetModuleFileNameA,
		[&](DWORD* pResult, HMODULE h, LPSTR buffer, DWORD size)
		{ return h == NULL && (*pResult = (DWORD)lstrlenA(lstrcpynA(buffer, module.c_str(), (int)size)), true); });
	line = "keep";
	EXPECT_FALSE(worker.BuildRestartCommand("Cap", "cmd", line, FALSE));
	EXPECT_FALSE(worker.BuildRestartCommand("Cap", "cmd", line, TRUE));
	EXPECT_STREQ("keep", (LPCSTR)line);

	// The restart form is chosen but cannot be built: nothing is written, not
	// even the plain form.
	kt::RunOnceKey runOnce({ "KtChildKnown" });
	ASSERT_TRUE(kt::SetValue(runOnce.Key(), "KtChildKnown", REG_SZ, std::string("known.exe /x", 13)));
	worker.m_astrKnownCommands.Add("known.exe");
	EXPECT_FALSE(worker.RegisterRestart("cmd /y", TRUE, "Cap"));
	EXPECT_FALSE(kt::ValueExists(runOnce.Key(), "Vormelle"));
}

class RunOnceTest : public ::testing::Test
{
protected:
	// The registered command, checked to be REG_SZ of its length + 1 bytes,
	// and removed: the next registration is a first one again. Register has
	// m_worker register command (m_command by default), which must succeed.
	std::string TakeRegistered(const char* name = "Vormelle")
	{
		DWORD type = 0;
		std::string data = m_runOnce.Registered(name, &type);
		RegDeleteValueA(m_runOnce.Key(), name);
		EXPECT_EQ((DWORD)REG_SZ, type);
		EXPECT_TRUE(!data.empty() && data.back() == '\0') << "stored without its zero byte";
		return data.empty() ? data : data.substr(0, data.size() - 1);
	}
	std::string Register(BOOL allowRestart = TRUE, const char* caption = "Cap", const char* command = nullptr)
	{
		EXPECT_TRUE(m_worker.RegisterRestart(command ? command : m_command.c_str(), allowRestart, caption));
		return TakeRegistered();
	}

	CWaitProcThread m_worker;
	kt::RunOnceKey m_runOnce{ { "KtSz", "KtExpand", "KtMulti", "KtDword", "KtKnown.exe" } };
	const std::string m_recorder = kt::LongPath(kt::BinPath("kt_record.exe"));
	const std::string m_command = kt::BinPath("kt_record.exe") + " a \"b c\"",
					  m_plain = "\"" + m_recorder + "\" a \"b c\"";
	const std::string m_restart = "\"" + kt::LongPath(kt::BinPath("Kestrune.exe"))
		+ "\" /r /always \"/c=Cap\" \"/n=\\\"" + m_recorder + "\\\" a \\\"b c\\\"\"";
};

TEST_F(RunOnceTest, RestartFormWhenAKnownProgramIsPendingInAStringValue)
{
	m_worker.m_astrKnownCommands.Add("known.exe");
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtMulti", REG_MULTI_SZ, std::string("known.exe\0\0", 11)));
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtDword", REG_DWORD, std::string("known.exe", 9)));
	// The name of a value is no entry.
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtKnown.exe", REG_SZ, std::string("other.exe", 10)));
	EXPECT_EQ(m_plain, Register());
	// Expandable strings count, compared as stored.
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtExpand", REG_EXPAND_SZ, std::string("%ProgramFiles%\\KNOWN.exe", 25)));
	EXPECT_EQ(m_restart, Register());
	ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_runOnce.Key(), "KtExpand"));
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtSz", REG_SZ, std::string("\"C:\\Apps\\INSTALL.EXE\" /resume", 30)));
	m_worker.m_astrKnownCommands.Add("c:\\apps\\install.exe");
	EXPECT_EQ(m_restart, Register());

	// Each of the other conditions forces the plain form.
	EXPECT_EQ(m_plain, Register(FALSE));
	EXPECT_EQ(m_plain, Register(TRUE, NULL));
	CWaitProcThread nothingKnown;
	EXPECT_TRUE(nothingKnown.RegisterRestart(m_command.c_str(), TRUE, "Cap"));
	EXPECT_EQ(m_plain, TakeRegistered());
	// An empty caption is a caption.
	EXPECT_NE(std::string::npos, Register(TRUE, "").find(" /r /always \"/c=\" \"/n="));

	// A setup of the other bitness leaves its entry in the other registry view.
	ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(m_runOnce.Key(), "KtSz"));
	kt::RunOnceKey otherView({ "KtSz" }, sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
	ASSERT_TRUE(kt::SetValue(otherView.Key(), "KtSz", REG_SZ, std::string("C:\\Apps\\install.exe", 20)));
	EXPECT_EQ(m_restart, Register());
	EXPECT_EQ("(none)", otherView.Registered()) << "registered in the other view";

	// A string that has grown to fill the buffer is never read past its end.
	CWaitProcThread pastEnd;
	pastEnd.m_astrKnownCommands.Add(KT_PAST_END);
	// A string value as Windows hands it when it has grown, since the key was
	// asked, to fill the whole buffer: every byte written, no zero after them.
	// (Wine asks for room for the UTF-16 size and so never hands one out.)
	KT_STAND_IN(patch, "ADVAPI32.dll", RegEnumValueA,
		[](LONG* pResult, HKEY h, DWORD i, LPSTR name, LPDWORD cchName, LPDWORD r, LPDWORD type, LPBYTE data,
			LPDWORD cbData)
		{
			const DWORD room = cbData != NULL ? *cbData : 0;
			*pResult = decltype(patch)::Original()(h, i, name, cchName, r, type, data, cbData);
			if (*pResult == ERROR_SUCCESS && data != NULL && type != NULL && *type == REG_SZ)
				memset(data, 'x', *cbData = room);
			return true;
		});
	EXPECT_FALSE(pastEnd.HasKnownRunOnceEntry(m_runOnce.Key()));
}

// Each registration held over one reboot keeps its own value; the same line
// is not registered twice, and an empty command not at all. An empty known
// command (an installer variable never set) matches no entry. Windows runs a
// RunOnce line of 260 characters at most: a longer one is not written.
TEST_F(RunOnceTest, PlainFormsOfAtMost260CharactersEachKeepTheirOwnValue)
{
	m_worker.m_astrKnownCommands.Add("");
	ASSERT_TRUE(kt::SetValue(m_runOnce.Key(), "KtSz", REG_SZ, std::string("other.exe /x", 13)));
	const std::string second = m_command + " two", third = m_command + " three";
	for (const std::string& command : { m_command, second, m_command, third, second })
		EXPECT_TRUE(m_worker.RegisterRestart(command.c_str(), TRUE, "Cap")) << command;
	EXPECT_FALSE(m_worker.RegisterRestart("", TRUE, "Cap"));
	EXPECT_FALSE(m_worker.RegisterRestart(NULL, TRUE, "Cap"));
	EXPECT_EQ((std::vector<std::string>{ "Vormelle", "Vormelle 2", "Vormelle 3" }), m_runOnce.Registrations());
	EXPECT_EQ(m_plain, TakeRegistered());
	EXPECT_TRUE(m_worker.RegisterRestart(second.c_str(), TRUE, "Cap")); // held in a later name
	EXPECT_EQ((std::vector<std::string>{ "Vormelle 2", "Vormelle 3" }), m_runOnce.Registrations());
	EXPECT_EQ(m_plain + " two", TakeRegistered("Vormelle 2"));
	EXPECT_EQ(m_plain + " three", TakeRegistered("Vormelle 3"));

	const std::string longest = m_command + " " + std::string(259 - m_plain.size(), 'p');
	EXPECT_EQ(260u, Register(TRUE, "Cap", longest.c_str()).size());
	EXPECT_FALSE(m_worker.RegisterRestart((longest + "p").c_str(), TRUE, "Cap"));
	EXPECT_EQ(std::vector<std::string>{}, m_runOnce.Registrations()) << "a longer line was registered";
}

// A key created just now is not searched: an entry that appears in it at
// once was not pending before this registration. Entries of others leave
// with the key and are put back.
TEST_F(RunOnceTest, MissingKeyIsCreatedWithThePlainForm)
{
	const std::vector<kt::Value> others = kt::Values(m_runOnce.Key());
	ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, WAITPROC_RUNONCE_KEY));
	m_worker.m_astrKnownCommands.Add("known.exe");
	DWORD disposition = 0;
	{
		// Once the key is created, another program writes a known entry at once.
		KT_STAND_IN(patch, "ADVAPI32.dll", RegCreateKeyExA, nullptr,
			[&](LONG& error, HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY phk, LPDWORD pdw)
			{
				if (error == ERROR_SUCCESS && pdw != NULL)
					disposition = *pdw, kt::SetValue(*phk, "KtSz", REG_SZ, std::string("known.exe", 10));
			});
		EXPECT_TRUE(m_worker.RegisterRestart(m_command.c_str(), TRUE, "Cap"));
	}
	EXPECT_EQ((DWORD)REG_CREATED_NEW_KEY, disposition);
	ASSERT_TRUE(m_runOnce.Open());
	EXPECT_EQ(m_plain, TakeRegistered());
	for (const kt::Value& v : others)
		EXPECT_TRUE(kt::SetValue(m_runOnce.Key(), v.name.c_str(), v.type, v.data));
}
