#include "CommandPath.h"

#include "../afx/afxfind.h"
#include "../afx/afxhandle.h"
#include "../app/CommandLine.h"
#include "../waitproc/WaitProcThread.h"

BOOL SplitCommandLine(LPCSTR lpszCommandLine, CString& strResult)
{
	if (lpszCommandLine == NULL)
		return FALSE;
	// The space is the only separator, and only outside double quotes.
	BOOL bInQuotes = FALSE;
	LPCSTR p = lpszCommandLine;
	for (; *p != '\0'; p = CharNextA(p))
	{
		if (*p == '"')
			bInQuotes = !bInQuotes;
		else if (*p == ' ' && !bInQuotes)
			break;
	}
	CString strProgram(lpszCommandLine, (int)(p - lpszCommandLine));
	RemoveChar(strProgram, '"');

	// A program that no file matches (a bare name found on the search path, a
	// path too long) is kept as given: the command must still name it.
	CString strPath(strProgram);
	GetFullLongPath(strProgram, strPath, FALSE);
	strResult.Format("\"%s\"", (LPCSTR)strPath);
	strResult += p;
	return TRUE;
}

void RemoveChar(CString& str, char ch)
{
	int nLength = str.GetLength();
	LPSTR pBuffer = str.GetBuffer(nLength);
	if (pBuffer == NULL)
		return;
	int nWrite = 0;
	for (int nRead = 0; nRead < nLength;)
	{
		// A lead byte takes its trail byte with it; one at the very end stands alone.
		if (IsDBCSLeadByte((BYTE)pBuffer[nRead]) && nRead + 1 < nLength)
		{
			pBuffer[nWrite++] = pBuffer[nRead++];
			pBuffer[nWrite++] = pBuffer[nRead++];
			continue;
		}
		if (pBuffer[nRead] != ch)
			pBuffer[nWrite++] = pBuffer[nRead];
		++nRead;
	}
	str.ReleaseBuffer(nWrite);
}

BOOL GetFullLongPath(LPCSTR lpszPath, CString& strResult, BOOL bDirectory)
{
	CFileFind finder;
	if (!finder.FindFile(lpszPath))
		return TRUE;
	finder.FindNextFile();
	CString strFound = finder.GetFilePath();
	if (bDirectory)
		strFound = strFound.Left(strFound.GetLength() - finder.GetFileName().GetLength());
	finder.Close();

	DWORD nNeeded = CallGetLongPathName(strFound, NULL, 0);
	if (nNeeded == 0)
	{
		strResult = strFound;
		return TRUE;
	}
	LPSTR pBuffer = strResult.GetBuffer((int)nNeeded);
	if (pBuffer == NULL)
		return TRUE;
	pBuffer[0] = '\0';
	CallGetLongPathName(strFound, pBuffer, nNeeded + 1);
	strResult.ReleaseBuffer();
	return TRUE;
}

DWORD CallGetLongPathName(LPCSTR lpszPath, LPSTR lpszBuffer, DWORD cchBuffer)
{
	// Looked up at run time: the oldest systems have no GetLongPathNameA.
	typedef DWORD(WINAPI * PFNGETLONGPATHNAMEA)(LPCSTR, LPSTR, DWORD);
	CLibrary kernel;
	kernel.Load("kernel32.dll");
	PFNGETLONGPATHNAMEA pfn = (PFNGETLONGPATHNAMEA)kernel.GetProc("GetLongPathNameA");
	return pfn != NULL ? pfn(lpszPath, lpszBuffer, cchBuffer) : 0;
}

BOOL CWaitProcThread::EscapeQuotes(LPCSTR lpszInput, CString& strResult)
{
	return QuoteArgumentText(lpszInput, strResult);
}
