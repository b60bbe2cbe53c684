// The reboot flag: a one-shot REG_DWORD that another program sets when a
// reboot is pending. Reading it consumes it.
#include "../waitproc/WaitProcThread.h"

#include <mbstring.h>

#define ROOT_NAME_SIZE 22 // "HKEY_PERFORMANCE_DATA" and its terminator
#define ROOT_COUNT     12

BOOL CWaitProcThread::CheckRebootFlag(LPCSTR lpszFlagPath)
{
	if (lpszFlagPath == NULL)
		return FALSE;

	// The first backslash ends the root name; a trail byte is never taken for one.
	LPCSTR pFirst = lpszFlagPath;
	while (*pFirst != '\0' && *pFirst != '\\')
		pFirst = CharNextA(pFirst);

	// The long names, then the short ones that installers and reg.exe write.
	static const char aszRootNames[ROOT_COUNT][ROOT_NAME_SIZE] = { "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
		"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA", "HKCR",
		"HKCC", "HKCU", "HKLM", "HKU" };
	static const HKEY ahRoots[ROOT_COUNT] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
		HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG,
		HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS };
	CAllocFailureWatch watch;
	CString strRoot(lpszFlagPath, (int)(pFirst - lpszFlagPath));
	HKEY hRoot = NULL;
	for (int i = 0; i < ROOT_COUNT && hRoot == NULL && *pFirst != '\0' && !strRoot.IsEmpty(); ++i)
		if (_mbsicmp((const unsigned char*)(LPCSTR)strRoot, (const unsigned char*)aszRootNames[i]) == 0)
			hRoot = ahRoots[i];
	// A flag that names no key would quietly run the command before the
	// reboot: say why. No flag at all is no fault.
	if (hRoot == NULL)
	{
		if (lpszFlagPath[0] != '\0' && !watch.HasFailed())
		{
			WriteDebugLine("FLAG NOT READ", lpszFlagPath);
			AfxLog("reboot flag not read: %s", lpszFlagPath);
		}
		return FALSE;
	}

	// The last backslash starts the value name; at worst it is the first one.
	LPCSTR pLast = lpszFlagPath + lstrlenA(lpszFlagPath);
	while (pLast > lpszFlagPath && *pLast != '\\')
		pLast = CharPrevA(lpszFlagPath, pLast);
	CString strSubkey = pLast > pFirst ? CString(pFirst + 1, (int)(pLast - pFirst - 1)) : CString();
	CString strValue(pLast + 1);
	// A name cut short by exhausted memory would consume another value.
	if (watch.HasFailed())
		return FALSE;

	// Consumed whatever it held: a flag that cannot be read must not linger.
	// It is looked for in this program's registry view, then in the other
	// one (64-bit Windows has two), where an installer of the other bitness writes it.
	DWORD dwFlag = 0;
	BOOL bFound = FALSE;
	const REGSAM samOtherView = CRegKey::GetOtherView();
	for (int nView = 0; nView < (samOtherView != 0 ? 2 : 1) && !bFound; ++nView)
	{
		CRegKey key;
		DWORD dwType = 0, cbData = 0;
		bFound = key.Open(hRoot, strSubkey, KEY_ALL_ACCESS | (nView == 0 ? 0 : samOtherView)) == ERROR_SUCCESS
			&& key.QueryValue(strValue, &dwType, NULL, &cbData) == ERROR_SUCCESS;
		if (!bFound)
			continue;
		if (dwType == REG_DWORD && cbData == sizeof(DWORD)
			&& key.QueryValue(strValue, &dwType, &dwFlag, &cbData) != ERROR_SUCCESS)
			dwFlag = 0;
		key.DeleteValue(strValue);
	}
	if (bFound)
		AfxLog("reboot flag %s: %lu", lpszFlagPath, dwFlag);
	else if (lpszFlagPath[0] != '\0')
		AfxLog("reboot flag not found: %s", lpszFlagPath);
	return dwFlag != 0;
}
