#include "afxhandle.h"

#include <shellapi.h>

#include "afxstr.h"

BOOL CHandle::Close(HANDLE& hField)
{
	if (hField != NULL && ::CloseHandle(hField))
		hField = NULL;
	return hField == NULL;
}

REGSAM CRegKey::GetOtherView()
{
#ifdef _WIN64
	return KEY_WOW64_32KEY;
#else
	// Looked up: IsWow64Process is newer than Windows XP's first release.
	typedef BOOL(WINAPI * PFNISWOW64PROCESS)(HANDLE, PBOOL);
	PFNISWOW64PROCESS pfnIsWow64Process =
		(PFNISWOW64PROCESS)::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process");
	BOOL bWow64 = FALSE;
	if (pfnIsWow64Process == NULL || !pfnIsWow64Process(::GetCurrentProcess(), &bWow64) || !bWow64)
		return 0;
	return KEY_WOW64_64KEY;
#endif
}

LONG CRegKey::Open(HKEY hParent, LPCSTR lpszSubkey, REGSAM samDesired)
{
	HKEY hKey = NULL;
	LONG lResult = ::RegOpenKeyExA(hParent, lpszSubkey, 0, samDesired, &hKey);
	if (lResult == ERROR_SUCCESS)
	{
		Close();
		m_hKey = hKey;
	}
	return lResult;
}

LONG CRegKey::Create(HKEY hParent, LPCSTR lpszSubkey, DWORD* pdwDisposition, REGSAM samDesired)
{
	HKEY hKey = NULL;
	DWORD dwDisposition = 0;
	LONG lResult = ::RegCreateKeyExA(
		hParent, lpszSubkey, 0, NULL, REG_OPTION_NON_VOLATILE, samDesired, NULL, &hKey, &dwDisposition);
	if (lResult == ERROR_SUCCESS)
	{
		Close();
		m_hKey = hKey;
	}
	if (pdwDisposition != NULL)
		*pdwDisposition = dwDisposition;
	return lResult;
}

LONG CRegKey::QueryValue(LPCSTR lpszName, DWORD* pdwType, void* pData, DWORD* pcbData) const
{
	return ::RegQueryValueExA(m_hKey, lpszName, NULL, pdwType, (LPBYTE)pData, pcbData);
}

LONG CRegKey::SetValue(LPCSTR lpszName, DWORD dwType, const void* pData, DWORD cbData)
{
	return ::RegSetValueExA(m_hKey, lpszName, 0, dwType, (const BYTE*)pData, cbData);
}

LONG CRegKey::SetValue(LPCSTR lpszName, LPCSTR lpszText)
{
	return SetValue(lpszName, REG_SZ, lpszText, (DWORD)lstrlenA(lpszText) + 1);
}

LONG CRegKey::DeleteValue(LPCSTR lpszName)
{
	return ::RegDeleteValueA(m_hKey, lpszName);
}

LONG CRegKey::Close()
{
	LONG lResult = ERROR_SUCCESS;
	if (m_hKey != NULL)
	{
		lResult = ::RegCloseKey(m_hKey);
		if (lResult == ERROR_SUCCESS)
			m_hKey = NULL;
	}
	return lResult;
}

BOOL CLibrary::Load(LPCSTR lpszFileName)
{
	Free();
	if (m_hModule == NULL)
		m_hModule = ::LoadLibraryA(lpszFileName);
	return m_hModule != NULL;
}

FARPROC CLibrary::GetProc(LPCSTR lpszProcName) const
{
	return m_hModule != NULL ? ::GetProcAddress(m_hModule, lpszProcName) : NULL;
}

BOOL CLibrary::Free()
{
	if (m_hModule != NULL && ::FreeLibrary(m_hModule))
		m_hModule = NULL;
	return m_hModule == NULL;
}

DWORD CProcess::Start(LPCSTR lpszCommandLine)
{
	if (!m_hProcess.Close())
		return ERROR_INVALID_HANDLE;
	// CreateProcessA may write into the command line while it parses it.
	CString strCommandLine(lpszCommandLine);
	LPSTR pszCommandLine = strCommandLine.GetBuffer(strCommandLine.GetLength());
	if (pszCommandLine == NULL)
		return ERROR_NOT_ENOUGH_MEMORY;
	STARTUPINFOA si;
	ZeroMemory(&si, sizeof(si));
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi;
	ZeroMemory(&pi, sizeof(pi));
	// Wine answers ERROR_INTERNAL_ERROR when the new process ended before its
	// start-up was done, before any code of the program ran; a busy machine
	// shows it now and then. Such a start is tried again, so that no command
	// is lost to it.
	DWORD dwResult = ERROR_INTERNAL_ERROR;
	for (int nTry = 0; nTry < CPROCESS_START_TRIES && dwResult == ERROR_INTERNAL_ERROR; ++nTry)
	{
		if (nTry > 0)
			Sleep(100);
		if (::CreateProcessA(NULL, pszCommandLine, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
		{
			CHandle hThread(pi.hThread);
			m_hProcess.Attach(pi.hProcess);
			m_dwProcessId = pi.dwProcessId;
			dwResult = ERROR_SUCCESS;
		}
		else
		{
			dwResult = ::GetLastError();
			if (dwResult == ERROR_SUCCESS)
				dwResult = ERROR_GEN_FAILURE;
		}
	}
	strCommandLine.ReleaseBuffer();
	return dwResult;
}

DWORD CProcess::StartThroughShell(LPCSTR lpszFile, LPCSTR lpszParameters)
{
	if (!m_hProcess.Close())
		return ERROR_INVALID_HANDLE;
	// Loaded only when needed, which is seldom, and never freed: the shell may
	// leave threads of its own running in this process.
	typedef BOOL(WINAPI * PFNSHELLEXECUTEEXA)(SHELLEXECUTEINFOA*);
	HMODULE hShell = ::LoadLibraryA("shell32.dll");
	PFNSHELLEXECUTEEXA pfnShellExecuteEx =
		hShell != NULL ? (PFNSHELLEXECUTEEXA)::GetProcAddress(hShell, "ShellExecuteExA") : NULL;
	if (pfnShellExecuteEx == NULL)
		return ERROR_PROC_NOT_FOUND;
	SHELLEXECUTEINFOA sei;
	ZeroMemory(&sei, sizeof(sei));
	sei.cbSize = sizeof(sei);
	// No message box of the shell's own: a failure is reported by its code.
	sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
	sei.lpFile = lpszFile;
	sei.lpParameters = lpszParameters;
	sei.nShow = SW_SHOWNORMAL;
	if (!pfnShellExecuteEx(&sei))
	{
		DWORD dwResult = ::GetLastError();
		return dwResult != ERROR_SUCCESS ? dwResult : ERROR_GEN_FAILURE;
	}
	m_hProcess.Attach(sei.hProcess);
	return ERROR_SUCCESS;
}
