// The reboot flag against real registry keys: it reads as set only as a
// non-zero 4-byte REG_DWORD, and every call that finds it consumes it,
// whatever it held.
#include "TestSupport.h"
#include "waitproc/WaitProcThread.h"

// IsWow64Process as Windows answers it: on 64-bit Windows (TRUE) or 32-bit (FALSE).
static BOOL s_bWow64;
static BOOL WINAPI AnswerIsWow64Process(HANDLE, PBOOL pbWow64)
{
	*pbWow64 = s_bWow64;
	return TRUE;
}

TEST(RebootFlagTest, OnlyANonZeroDwordIsPendingInEveryPathFormAndBothRegistryViews)
{
	// A 32-bit program has another view only on 64-bit Windows; before Windows
	// XP SP2 there is no IsWow64Process (-1) and no 64-bit Windows either.
	for (int wow64 : { -1, FALSE, TRUE })
	{
		s_bWow64 = wow64;
		KT_STAND_IN(lookup, "KERNEL32.dll", GetProcAddress,
			[&](FARPROC* pResult, HMODULE, LPCSTR name)
			{
				*pResult = wow64 < 0 ? NULL : (FARPROC)&AnswerIsWow64Process;
				return !IS_INTRESOURCE(name) && lstrcmpA(name, "IsWow64Process") == 0;
			});
		const REGSAM expected = sizeof(void*) == 8 ? KEY_WOW64_32KEY : wow64 == TRUE ? KEY_WOW64_64KEY : 0;
		EXPECT_EQ(expected, CRegKey::GetOtherView()) << "IsWow64Process answering " << wow64;
	}

	const auto Dword = [](DWORD value) { return std::string((const char*)&value, sizeof(value)); };
	kt::ScratchKey key(HKEY_CURRENT_USER);
	CWaitProcThread worker;
	const std::string sub = key.Path(), path = "HKEY_CURRENT_USER\\" + sub + "\\Pending";
	const std::tuple<const char*, DWORD, std::string, bool> cases[] = { { "dword 1", REG_DWORD, Dword(1), true },
		{ "dword ffffffff", REG_DWORD, Dword(0xffffffff), true }, { "dword 0", REG_DWORD, Dword(0), false },
		{ "string 1", REG_SZ, std::string("1", 2), false }, { "binary of 4 bytes", REG_BINARY, Dword(1), false },
		{ "dword of 2 bytes", REG_DWORD, std::string("\x01\x00", 2), false },
		{ "qword 1", REG_QWORD, Dword(1) + Dword(0), false } };
	for (const auto& [what, type, data, pending] : cases)
	{
		SCOPED_TRACE(what);
		ASSERT_TRUE(kt::SetValue(key.Key(), "Pending", type, data));
		ASSERT_TRUE(kt::SetDword(key.Key(), "Other", 7));
		EXPECT_EQ(pending, !!worker.CheckRebootFlag(path.c_str()));
		EXPECT_FALSE(kt::ValueExists(key.Key(), "Pending")) << "the flag was not consumed";
		EXPECT_TRUE(kt::ValueExists(key.Key(), "Other"));
		EXPECT_FALSE(worker.CheckRebootFlag(path.c_str())) << "a consumed flag read again";
	}

	ASSERT_TRUE(kt::SetDword(key.Key(), "Pending", 1));
	// Paths that name no flag leave the value alone: a missing value or key,
	// another root. One that names no key at all (no root, an unknown root,
	// no backslash) says so in a debug line.
	const std::pair<std::string, bool> refused[] = { { "", false }, { "HKEY_CURRENT_USER", true }, { "HKCU", true },
		{ "HKCU\\", false }, { "\\HKEY_CURRENT_USER\\Pending", true }, { "HKCX\\" + sub + "\\Pending", true },
		{ "HKEY_CURRENT_USER\\" + sub + "\\Missing", false },
		{ "HKEY_CURRENT_USER\\" + sub + "\\NoSuchKey\\Pending", false }, { "HKU\\" + sub + "\\Pending", false } };
	EXPECT_FALSE(worker.CheckRebootFlag(NULL));
	kt::DebugCapture capture;
	ASSERT_TRUE(capture.IsApplied());
	for (const auto& [p, told] : refused)
	{
		capture.Clear();
		EXPECT_FALSE(worker.CheckRebootFlag(p.c_str())) << p;
		EXPECT_EQ(std::vector<std::string>(told, "FLAG NOT READ: " + p + "\n"), capture.Lines());
	}
	EXPECT_TRUE(kt::ValueExists(key.Key(), "Pending"));

	// The flag is answered through every root key that holds values here,
	// named in full or short, in any case; and from the other registry view,
	// where an installer of the other bitness writes HKEY_LOCAL_MACHINE\Software.
	const REGSAM otherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
	const std::tuple<HKEY, const char*, REGSAM> roots[] = { { HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", 0 },
		{ HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG", 0 }, { HKEY_CURRENT_USER, "hkey_current_user", 0 },
		{ HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", 0 }, { HKEY_USERS, "HKEY_USERS", 0 },
		{ HKEY_CLASSES_ROOT, "HKCR", 0 }, { HKEY_CURRENT_CONFIG, "HKCC", 0 }, { HKEY_CURRENT_USER, "hkcu", 0 },
		{ HKEY_LOCAL_MACHINE, "HKLM", 0 }, { HKEY_USERS, "HKU", 0 }, { HKEY_LOCAL_MACHINE, "HKLM", otherView } };
	for (const auto& [hRoot, name, view] : roots)
	{
		SCOPED_TRACE(std::string(name) + (view ? " (other view)" : ""));
		kt::ScratchKey rootKey(hRoot, view);
		for (const char* value : { "Reboot", "" }) // a path ending in a backslash names the key's default value
		{
			ASSERT_TRUE(kt::SetDword(rootKey.Key(), value, 1));
			EXPECT_TRUE(worker.CheckRebootFlag((std::string(name) + "\\" + rootKey.Path() + "\\" + value).c_str()));
			EXPECT_FALSE(kt::ValueExists(rootKey.Key(), value)) << "not consumed";
		}
	}

	// One backslash: the subkey is empty and the root key itself is opened.
	std::string name = kt::UniqueName("KtPending");
	CRegKey hRoot;
	ASSERT_EQ(ERROR_SUCCESS, hRoot.Open(HKEY_CURRENT_USER, NULL));
	ASSERT_TRUE(kt::SetDword(hRoot, name.c_str(), 2));
	EXPECT_TRUE(worker.CheckRebootFlag(("HKEY_CURRENT_USER\\" + name).c_str()));
	EXPECT_FALSE(kt::ValueExists(hRoot, name.c_str()));
	hRoot.DeleteValue(name.c_str());
}
