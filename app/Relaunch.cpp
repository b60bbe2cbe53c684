#include "Relaunch.h"

#include "../afx/afx.h"
#include "../waitproc/WaitProcThread.h"

#include "CommandLine.h"

BOOL RelaunchWaiter(LPCSTR lpszCaption, LPCSTR lpszNext)
{
	CString strExePath, strCommand;
	CProcess process;
	BOOL bStarted = FALSE;
	if (AfxGetModuleFileName(strExePath, MAX_PATH + 1)
		&& BuildWaiterCommand(strExePath, FALSE, lpszCaption, lpszNext, strCommand))
	{
		// A line the system refuses (over 32,767 characters once quoted) leaves a trace.
		bStarted = process.Start(strCommand) == ERROR_SUCCESS;
		if (!bStarted)
			ReportCommandStart(FALSE, strCommand);
	}
	return bStarted;
}
