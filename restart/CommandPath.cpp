#include "CommandPath.h"

#include "../afx/afxfind.h"
#include "../afx/afxhandle.h"
#include "../afx/afxmem.h"
#include "../cmdline/CommandLine.h"
#include "../waitproc/WaitProcThread.h"

BOOL SplitCommandLine(LPCSTR lpszCommandLine, CString& strResult)
{
	if (lpszCommandLine == NULL)
		return FALSE;
	CAllocFailureWatch watch;
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
	CString strPath(strProgram), strLine;
	GetFullLongPath(strProgram, strPath, FALSE);
	strLine.Format("\"%s\"", (LPCSTR)strPath);
	strLine += p;
	// A step that lost text to exhausted memory would register a broken command.
	BOOL bDone = !watch.HasFailed();
	if (bDone)
		strResult.Swap(strLine);
	return bDone;
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
	CAllocFailureWatch watch;
	CFileFind finder;
	BOOL bFound = finder.FindFile(lpszPath);
	CString strFound, strLong;
	if (bFound)
	{
		finder.FindNextFile();
		strFound = finder.GetFilePath();
		if (bDirectory)
			strFound = strFound.Left(strFound.GetLength() - finder.GetFileName().GetLength());
		finder.Close();

		DWORD nNeeded = CallGetLongPathName(strFound, NULL, 0);
		LPSTR pBuffer = nNeeded != 0 ? strLong.GetBuffer((int)nNeeded) : NULL;
		// A file removed between the two calls leaves the path found.
		DWORD nLength = pBuffer != NULL ? CallGetLongPathName(strFound, pBuffer, nNeeded + 1) : 0;
		if (pBuffer != NULL)
			strLong.ReleaseBuffer(nLength > 0 && nLength <= nNeeded ? (int)nLength : 0);
		if (strLong.IsEmpty())
			strLong = strFound;
	}
	BOOL bDone = !watch.HasFailed();
	if (bDone && bFound)
		strResult.Swap(strLong);
	return bDone;
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
