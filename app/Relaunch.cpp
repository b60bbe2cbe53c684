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
			&options.astrKnownCommands, options.bRunAlways))
	{
		// A line the system refuses (over 32,767 characters once quoted) leaves a trace.
		bStarted = process.Start(strCommand) == ERROR_SUCCESS;
		if (!bStarted)
			WriteDebugLine("ERROR", strCommand);
	}
	return bStarted;
}
