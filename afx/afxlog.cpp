#include "afxlog.h"

#include "afxstr.h"
#include "afxwide.h"

static HANDLE s_hLog = INVALID_HANDLE_VALUE;

BOOL AfxOpenLog(LPCSTR lpszPath)
{
	if (s_hLog != INVALID_HANDLE_VALUE)
		CloseHandle(s_hLog);
	s_hLog = INVALID_HANDLE_VALUE;
	// The wide form: the path may hold any text the code page holds, and more
	// bytes than MAX_PATH in UTF-8.
	CWideString strPath;
	if (lpszPath == NULL || lpszPath[0] == '\0' || !strPath.Convert(lpszPath))
		return FALSE;
	// Append access only: the system then puts every write at the file's end,
	// whoever else writes to it meanwhile.
	s_hLog = CreateFileW(strPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
		OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
	return s_hLog != INVALID_HANDLE_VALUE;
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
	DWORD dwWritten = 0;
	WriteFile(s_hLog, (LPCSTR)strUtf8, (DWORD)strUtf8.GetLength(), &dwWritten, NULL);
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
