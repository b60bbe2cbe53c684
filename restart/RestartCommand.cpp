// The restart command line: the utility started again with the relaunch,
// run-always, caption and next-command options.
#include "../waitproc/WaitProcThread.h"

#include "../cmdline/CommandLine.h"
#include "../res/resource.h"
#include "CommandPath.h"

// Places a fresh copy of strUtility in the temporary folder, writable; its path.
static BOOL CopyToTemp(const CString& strUtility, const CString& strFileName, CString& strCopy)
{
	DWORD nNeeded = GetTempPathA(0, NULL);
	if (nNeeded == 0)
		return FALSE;
	CString strTemp;
	LPSTR pBuffer = strTemp.GetBuffer((int)nNeeded);
	if (pBuffer == NULL)
		return FALSE;
	ZeroMemory(pBuffer, nNeeded);
	DWORD nLength = GetTempPathA(nNeeded, pBuffer);
	strTemp.ReleaseBuffer(nLength < nNeeded ? (int)nLength : 0);
	if (nLength == 0 || nLength >= nNeeded)
		return FALSE;

	// A folder lost to exhausted memory would leave a bare file name, and the
	// file of that name in the current folder would be replaced.
	CAllocFailureWatch watch;
	strCopy = strTemp + strFileName;
	if (watch.HasFailed())
		return FALSE;
	DWORD dwAttributes = GetFileAttributesA(strCopy);
	if (dwAttributes != INVALID_FILE_ATTRIBUTES)
	{
		if (dwAttributes & FILE_ATTRIBUTE_READONLY)
			SetFileAttributesA(strCopy, 0);
		DeleteFileA(strCopy);
	}
	if (!CopyFileA(strUtility, strCopy, FALSE))
		return FALSE;
	dwAttributes = GetFileAttributesA(strCopy);
	if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY))
		SetFileAttributesA(strCopy, 0);
	return TRUE;
}

BOOL CWaitProcThread::BuildRestartCommand(LPCSTR lpszCaption, LPCSTR lpszCommand, CString& strResult, BOOL bTempCopy)
{
	if (lpszCaption == NULL || lpszCommand == NULL)
		return FALSE;
	CString strFileName;
	if (!strFileName.LoadString(IDS_WAITER_EXE))
		return FALSE;

	// The utility file beside this executable, in its long form. Without it the
	// command line could never run.
	CAllocFailureWatch watch;
	CString strDirectory, strUtility;
	if (GetModuleFolder(strDirectory))
		GetFullLongPath(strDirectory + strFileName, strUtility, FALSE);
	if (strUtility.IsEmpty())
		return FALSE;

	CString strProgram(strUtility);
	if (bTempCopy && !CopyToTemp(strUtility, strFileName, strProgram))
		return FALSE;
	// Windows runs the machine's RunOnce entries one after another in no set
	// order: the window may have come and gone before this line runs, and
	// the command must not wait for it in vain. A path that lost text to
	// exhausted memory would start something else.
	if (watch.HasFailed())
		return FALSE;
	// The timeout and the log go with it while Windows can still run the line.
	CWaitExtras extras = m_extras;
	extras.bExitCode = FALSE; // nobody reads the exit code of a RunOnce line
	CString strLine;
	if (!BuildWaiterCommand(strProgram, TRUE, lpszCaption, lpszCommand, strLine, NULL, NULL, TRUE, &extras))
		return FALSE;
	if (MultiByteToWideChar(CP_ACP, 0, strLine, -1, NULL, 0) - 1 > WAITPROC_RUNONCE_MAX_CHARS
		&& (extras.nAppearSeconds >= 0 || !extras.strLog.IsEmpty()))
	{
		AfxLog("restart line without the timeout and log options: longer than %d characters with them",
			WAITPROC_RUNONCE_MAX_CHARS);
		return BuildWaiterCommand(strProgram, TRUE, lpszCaption, lpszCommand, strResult, NULL, NULL, TRUE);
	}
	strResult.Swap(strLine);
	return TRUE;
}
