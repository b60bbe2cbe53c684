#include "Relaunch.h"

#include "../afx/afx.h"

#include "CommandLine.h"

BOOL RelaunchWaiter(LPCSTR lpszCaption, LPCSTR lpszNext)
{
	CString strExePath, strCommand;
	CProcess process;
	return AfxGetModuleFileName(strExePath, MAX_PATH + 1)
		&& BuildWaiterCommand(strExePath, FALSE, lpszCaption, lpszNext, strCommand)
		&& process.Start(strCommand) == ERROR_SUCCESS;
}
