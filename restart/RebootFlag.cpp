// The reboot flag: a one-shot REG_DWORD that another program sets when a
// reboot is pending. Reading it consumes it.
#include "../waitproc/WaitProcThread.h"

#include <mbstring.h>

#define ROOT_NAME_SIZE 22 // "HKEY_PERFORMANCE_DATA" and its terminator

BOOL CWaitProcThread::CheckRebootFlag(LPCSTR lpszFlagPath)
{
	if (lpszFlagPath == NULL)
		return FALSE;

	// The first backslash ends the root name; a trail byte is never taken for one.
	LPCSTR pFirst = lpszFlagPath;
	while (*pFirst != '\0' && *pFirst != '\\')
		pFirst = CharNextA(pFirst);
	if (*pFirst == '\0')
		return FALSE;

	static const char aszRootNames[7][ROOT_NAME_SIZE] = { "HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
		"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA" };
	static const HKEY ahRoots[7] = { HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
		HKEY_USERS, HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA };
	CAllocFailureWatch watch;
	CString strRoot(lpszFlagPath, (int)(pFirst - lpszFlagPath));
	HKEY hRoot = NULL;
	for (int i = 0; i < 7 && hRoot == NULL && !strRoot.IsEmpty(); ++i)
		if (_mbsicmp((const unsigned char*)(LPCSTR)strRoot, (const unsigned char*)aszRootNames[i]) == 0)
			hRoot = ahRoots[i];
	if (hRoot == NULL)
		return FALSE;

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
	CRegKey key;
	DWORD dwFlag = 0, dwType = 0, cbData = 0;
	if (key.Open(hRoot, strSubkey) == ERROR_SUCCESS
		&& key.QueryValue(strValue, &dwType, NULL, &cbData) == ERROR_SUCCESS)
	{
		if (dwType == REG_DWORD && cbData == sizeof(DWORD)
			&& key.QueryValue(strValue, &dwType, &dwFlag, &cbData) != ERROR_SUCCESS)
			dwFlag = 0;
		key.DeleteValue(strValue);
	}
	return dwFlag != 0;
}
