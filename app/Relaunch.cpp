#include "Relaunch.h"

#include "../afx/afx.h"
#include "../waitproc/WaitProcThread.h"

BOOL RelaunchWaiter(const CWaitOptions& options)
{
	CString strExePath, strCommand;
	CProcess process;
	BOOL bStarted = FALSE;
	if (AfxGetModuleFileName(strExePath)
		&& BuildWaiterCommand(strExePath, FALSE, options.strCaption, options.strNext, strCommand, options.strRebootFlag,
			&options.astrKnownCommands, options.bRunAlways, &options.extras))
	{
		// A line the system refuses (over 32,767 characters once quoted) leaves a trace.
		DWORD dwResult = process.Start(strCommand);
		bStarted = dwResult == ERROR_SUCCESS;
		if (bStarted)
			AfxLog("relaunch handed over: process %lu", process.GetProcessId());
		else
		{
			WriteDebugLine("ERROR", strCommand);
			AfxLogError("relaunch not started", dwResult, strCommand);
		}
	}
	return bStarted;
}
