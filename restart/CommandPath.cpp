#include "CommandPath.h"

#include "../afx/afxfind.h"
#include "../afx/afxhandle.h"
#include "../afx/afxmem.h"
#include "../cmdline/CommandLine.h"
#include "../waitproc/WaitProcThread.h"

static BOOL IsProgramFile(LPCSTR lpszPath)
{
	DWORD dwAttributes = GetFileAttributesA(lpszPath);
	return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL GetModuleFolder(CString& strDirectory)
{
	CString strModule, strFolder;
	if (!AfxGetModuleFileName(strModule) || !GetFullLongPath(strModule, strFolder, TRUE) || strFolder.IsEmpty())
		return FALSE;
	strDirectory.Swap(strFolder);
	return TRUE;
}

BOOL FindProgramFile(LPCSTR lpszName, CString& strResult)
{
	CAllocFailureWatch watch;
	// A name without a folder is looked for where process creation looks;
	// one without an extension is looked for with ".exe".
	BOOL bBare = TRUE, bExtension = FALSE;
	for (LPCSTR p = lpszName; *p != '\0'; p = CharNextA(p))
	{
		if (*p == '\\' || *p == '/' || *p == ':')
			bBare = bExtension = FALSE;
		else if (*p == '.')
			bExtension = TRUE;
	}
	if (lpszName[0] == '\0')
		return FALSE;
	CString strFile(lpszName), strFound, strDirectory;
	if (!bExtension)
		strFile += ".exe";
	if (!bBare)
		strFound = IsProgramFile(strFile) ? strFile : CString();
	else if (GetModuleFolder(strDirectory) && IsProgramFile(strDirectory + strFile))
		strFound = strDirectory + strFile; // the utility's own folder
	else if (IsProgramFile(strFile))
		strFound = strFile; // the current folder
	else
	{
		// The system's search path.
		DWORD nNeeded = SearchPathA(NULL, strFile, NULL, 0, NULL, NULL);
		LPSTR pBuffer = nNeeded != 0 ? strFound.GetBuffer((int)nNeeded) : NULL;
		DWORD nLength = pBuffer != NULL ? SearchPathA(NULL, strFile, NULL, nNeeded, pBuffer, NULL) : 0;
		if (pBuffer != NULL)
			strFound.ReleaseBuffer(nLength > 0 && nLength < nNeeded && IsProgramFile(pBuffer) ? (int)nLength : 0);
	}
	CString strLong;
	if (!strFound.IsEmpty())
		GetFullLongPath(strFound, strLong, FALSE);
	if (strLong.IsEmpty() || watch.HasFailed())
		return FALSE;
	strResult.Swap(strLong);
	return TRUE;
}

BOOL SplitCommandLine(LPCSTR lpszCommandLine, CString& strResult)
{
	if (lpszCommandLine == NULL)
		return FALSE;
	CAllocFailureWatch watch;
	// Spaces and tabs separate words, and only outside double quotes.
	BOOL bInQuotes = FALSE, bQuoted = FALSE;
	LPCSTR p = lpszCommandLine;
	for (; *p != '\0'; p = CharNextA(p))
	{
		if (*p == '"')
		{
			bInQuotes = !bInQuotes;
			bQuoted = TRUE;
		}
		else if ((*p == ' ' || *p == '\t') && !bInQuotes)
			break;
	}
	CString strProgram(lpszCommandLine, (int)(p - lpszCommandLine));
	RemoveChar(strProgram, '"');
	CString strPath;
	BOOL bFound = FindProgramFile(strProgram, strPath);

	// A path with spaces that the caller did not quote (its quotes lost on
	// the way) runs now: the system tries its runs of words in turn, the
	// shortest first. The registration names the program that runs now; no
	// path runs past MAX_PATH characters, of up to three bytes each.
	for (LPCSTR pEnd = p; !bFound && !bQuoted && *pEnd != '\0' && pEnd - lpszCommandLine < 3 * MAX_PATH;)
	{
		for (pEnd = CharNextA(pEnd); *pEnd != '\0' && *pEnd != ' ' && *pEnd != '\t'; pEnd = CharNextA(pEnd))
			bQuoted = bQuoted || *pEnd == '"';
		if (!bQuoted && FindProgramFile(CString(lpszCommandLine, (int)(pEnd - lpszCommandLine)), strPath))
		{
			bFound = TRUE;
			p = pEnd;
		}
	}

	// A program that no file matches (a path too long, a name that only a
	// wildcard matches) is kept as given: the command must still name it.
	if (!bFound)
	{
		strPath = strProgram;
		GetFullLongPath(strProgram, strPath, FALSE);
	}
	CString strLine;
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
