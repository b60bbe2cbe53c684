// RunOnce registration: the follow-up command, held over a reboot.
#include "../waitproc/WaitProcThread.h"

#include <wchar.h>

#include "../afx/afxwide.h"
#include "../res/resource.h"
#include "CommandPath.h"

// The bytes that a string of cbUtf16 bytes in UTF-16 may take in the ANSI
// code page, with its zero: up to three a unit in UTF-8. Windows gives a
// string's size in UTF-16 bytes where its ANSI form would take more.
static DWORD AnsiRoom(DWORD cbUtf16)
{
	return cbUtf16 / 2 * 3 + 2;
}

// What the value lpszName of hKey holds against strData.
enum
{
	valueFree,  // no such value: it may be written
	valueSame,  // exactly strData, as a string
	valueTaken, // anything else, or it cannot be read
};
static int CompareRunOnceValue(const CRegKey& key, LPCSTR lpszName, const CString& strData)
{
	DWORD dwType = 0, cbData = 0;
	LONG lResult = key.QueryValue(lpszName, &dwType, NULL, &cbData);
	if (lResult == ERROR_FILE_NOT_FOUND)
		return valueFree;
	if (lResult != ERROR_SUCCESS || dwType != REG_SZ)
		return valueTaken;
	// A buffer of the UTF-16 size would take the same line for another, and
	// it would be written twice.
	CString strValue;
	DWORD cbRoom = AnsiRoom(cbData);
	LPSTR pBuffer = strValue.GetBuffer((int)cbRoom);
	if (pBuffer == NULL)
		return valueTaken;
	ZeroMemory(pBuffer, cbRoom + 1);
	cbData = cbRoom;
	lResult = key.QueryValue(lpszName, &dwType, pBuffer, &cbData);
	strValue.ReleaseBuffer(-1);
	return lResult == ERROR_SUCCESS && strValue.GetLength() == strData.GetLength()
			&& memcmp((LPCSTR)strValue, (LPCSTR)strData, (size_t)strData.GetLength()) == 0
		? valueSame
		: valueTaken;
}

BOOL CWaitProcThread::RegisterRestart(LPCSTR lpszCommand, BOOL bAllowRestartCommand, LPCSTR lpszCaption)
{
	// An empty command has nothing to hold over the reboot.
	if (lpszCommand == NULL || lpszCommand[0] == '\0')
		return FALSE;
	CAllocFailureWatch watch;
	CString strCommand, strValueName;
	if (!SplitCommandLine(lpszCommand, strCommand) || !strValueName.LoadString(IDS_RUNONCE_VALUE))
		return FALSE;
	CString strData(strCommand);
	if (watch.HasFailed())
		return FALSE;

	CRegKey key;
	DWORD dwDisposition = 0;
	if (key.Create(HKEY_LOCAL_MACHINE, WAITPROC_RUNONCE_KEY, &dwDisposition) != ERROR_SUCCESS)
		return FALSE;

	// A key created just now holds no entry to look at. On 64-bit Windows a
	// setup of the other bitness leaves its entry in the other view's key,
	// which Windows runs too; 32-bit Windows has one key, just created or not.
	// When the restart form is chosen but cannot be built, nothing is
	// written: not the plain form either. Nor when memory ran out during the
	// search, which may have missed the entry that chooses it.
	CRegKey otherView;
	REGSAM samOtherView = CRegKey::GetOtherView();
	if (bAllowRestartCommand && lpszCaption != NULL
		&& ((dwDisposition == REG_OPENED_EXISTING_KEY && HasKnownRunOnceEntry(key))
			|| (samOtherView != 0
				&& otherView.Open(HKEY_LOCAL_MACHINE, WAITPROC_RUNONCE_KEY, KEY_READ | samOtherView) == ERROR_SUCCESS
				&& HasKnownRunOnceEntry(otherView)))
		&& !BuildRestartCommand(lpszCaption, strCommand, strData, FALSE))
		return FALSE;
	// Windows does not run a longer RunOnce line at the next start: the command would be lost.
	int nChars = MultiByteToWideChar(CP_ACP, 0, strData, -1, NULL, 0) - 1;
	if (nChars < 0 || nChars > WAITPROC_RUNONCE_MAX_CHARS)
		return FALSE;

	// Another registration held over the same reboot (a second chained
	// setup) keeps its command: this one takes the first free name. The same
	// line registered already, under any of the names, is not registered
	// twice (Windows removes each value as it runs it, so a name may be free
	// before a later one).
	CString strName(strValueName), strFree;
	BOOL bSame = FALSE;
	for (int n = 2; n <= WAITPROC_RUNONCE_MAX_VALUES + 1 && !bSame; ++n)
	{
		int nValue = CompareRunOnceValue(key, strName, strData);
		bSame = nValue == valueSame;
		if (bSame)
			strFree = strName; // the value that holds the line, for the log
		if (nValue == valueFree && strFree.IsEmpty())
			strFree = strName;
		strName.Format("%s %d", (LPCSTR)strValueName, n);
	}
	BOOL bWritten =
		!watch.HasFailed() && (bSame || (!strFree.IsEmpty() && key.SetValue(strFree, strData) == ERROR_SUCCESS));
	if (bWritten)
	{
		WriteDebugLine("REGISTERED", strData);
		AfxLog("registered: %s = %s", (LPCSTR)strFree, (LPCSTR)strData);
	}
	return bWritten;
}

BOOL CWaitProcThread::HasKnownRunOnceEntry(HKEY hKey)
{
	if (hKey == NULL || m_astrKnownCommands.GetSize() == 0)
		return FALSE;
	DWORD nValues = 0, cchMaxName = 0, cbMaxData = 0;
	if (RegQueryInfoKeyA(hKey, NULL, NULL, NULL, NULL, NULL, NULL, &nValues, &cchMaxName, &cbMaxData, NULL, NULL)
			!= ERROR_SUCCESS
		|| nValues == 0)
		return FALSE;

	// The name's length counts UTF-16 units too.
	DWORD cbName = cchMaxName * 3 + 1, cbData = AnsiRoom(cbMaxData);
	LPSTR pszName = (LPSTR)AfxAlloc(cbName);
	LPBYTE pData = (LPBYTE)AfxAlloc(cbData);
	BOOL bFound = FALSE;
	for (DWORD i = 0; i < nValues && pszName != NULL && pData != NULL && !bFound; ++i)
	{
		ZeroMemory(pszName, cbName);
		ZeroMemory(pData, cbData);
		// A value added, grown or removed since the count was taken is passed
		// over; the last byte stays free, so the data always ends in a zero.
		DWORD cchName = cbName, cbRead = cbData - 1, dwType = 0;
		if (RegEnumValueA(hKey, i, pszName, &cchName, NULL, &dwType, pData, &cbRead) != ERROR_SUCCESS)
			continue;
		if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
			continue;
		// Compared in UTF-16: the multibyte case functions know no UTF-8.
		CWideString strData;
		if (!strData.Convert((LPCSTR)pData))
			continue;
		strData.MakeUpper();
		for (int j = 0; j < m_astrKnownCommands.GetSize() && !bFound; ++j)
		{
			// An empty text (an installer variable never set) names nothing.
			CWideString strKnown;
			if (!strKnown.Convert(m_astrKnownCommands[j]) || strKnown.GetLength() == 0)
				continue;
			strKnown.MakeUpper();
			bFound = wcsstr(strData, strKnown) != NULL;
		}
	}
	AfxFree(pszName);
	AfxFree(pData);
	return bFound;
}
