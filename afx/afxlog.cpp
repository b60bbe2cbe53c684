#include "afxlog.h"

#include "afxstr.h"
#include "afxwide.h"

static HANDLE s_hLog = INVALID_HANDLE_VALUE;
static HANDLE s_hLogLock; // a mutex named after the file; NULL when none could be made

BOOL AfxOpenLog(LPCSTR lpszPath)
{
	if (s_hLog != INVALID_HANDLE_VALUE)
		CloseHandle(s_hLog);
	if (s_hLogLock != NULL)
		CloseHandle(s_hLogLock);
	s_hLog = INVALID_HANDLE_VALUE, s_hLogLock = NULL;
	// The wide form: the path may hold any text the code page holds, and more
	// bytes than MAX_PATH in UTF-8.
	CWideString strPath;
	if (lpszPath == NULL || lpszPath[0] == '\0' || !strPath.Convert(lpszPath))
		return FALSE;
	// Append access only: Windows then puts every write at the file's end,
	// whoever else writes to it meanwhile. Wine finds the end and writes in two
	// steps, so another process's line can land between them: the processes
	// that log to one path also take turns by a mutex named after it.
	s_hLog = CreateFileW(strPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
		OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
	if (s_hLog == INVALID_HANDLE_VALUE)
		return FALSE;
	strPath.MakeUpper();
	DWORD dwHash = 2166136261u; // FNV-1a over the path's UTF-16 units
	for (LPCWSTR p = strPath; *p != L'\0'; ++p)
		dwHash = (dwHash ^ *p) * 16777619u;
	CString strLockName;
	strLockName.Format("AfxLog-%08lx", dwHash);
	s_hLogLock = CreateMutexA(NULL, FALSE, strLockName);
	return TRUE;
}

void AfxLog(LPCSTR lpszFormat, ...)
{
	if (s_hLog == INVALID_HANDLE_VALUE)
		return;
	SYSTEMTIME st;
	GetLocalTime(&st);
	CString strText, strLine;
	va_list args;
	va_start(args, lpszFormat);
	strText.FormatV(lpszFormat, args);
	va_end(args);
	strLine.Format("%04u-%02u-%02u %02u:%02u:%02u.%03u [%lu] %s\r\n", st.wYear, st.wMonth, st.wDay, st.wHour,
		st.wMinute, st.wSecond, st.wMilliseconds, GetCurrentProcessId(), (LPCSTR)strText);
	// In UTF-8 whatever the code page, so that one file holds every script;
	// text that is no whole characters of the code page goes as it is.
	CWideString strWide;
	int nBytes = strWide.Convert(strLine)
		? WideCharToMultiByte(CP_UTF8, 0, strWide, strWide.GetLength(), NULL, 0, NULL, NULL)
		: 0;
	CString strUtf8;
	LPSTR pUtf8 = nBytes > 0 ? strUtf8.GetBuffer(nBytes) : NULL;
	if (pUtf8 != NULL)
		strUtf8.ReleaseBuffer(WideCharToMultiByte(CP_UTF8, 0, strWide, strWide.GetLength(), pUtf8, nBytes, NULL, NULL));
	else
		strUtf8.Swap(strLine);
	// A writer that holds the turn for long (or died holding it) does not stop this one.
	DWORD dwWait = s_hLogLock != NULL ? WaitForSingleObject(s_hLogLock, 2000) : WAIT_FAILED;
	DWORD dwWritten = 0;
	WriteFile(s_hLog, (LPCSTR)strUtf8, (DWORD)strUtf8.GetLength(), &dwWritten, NULL);
	if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED)
		ReleaseMutex(s_hLogLock);
}

void AfxLogError(LPCSTR lpszWhat, DWORD dwError, LPCSTR lpszText)
{
	if (s_hLog == INVALID_HANDLE_VALUE)
		return;
	LPSTR pszMessage = NULL;
	DWORD nLength = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
			| FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
		NULL, dwError, 0, (LPSTR)&pszMessage, 0, NULL);
	// The text ends in a space where its line break was.
	while (nLength > 0 && pszMessage[nLength - 1] == ' ')
		pszMessage[--nLength] = '\0';
	AfxLog("%s: error %lu (%s): %s", lpszWhat, dwError, nLength > 0 ? pszMessage : "", lpszText);
	LocalFree(pszMessage);
}
