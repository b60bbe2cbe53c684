// CWaitApp: the application object. It starts one worker per command line and
// quits once every worker has reported and has been stopped.
#pragma once

#include "../afx/afx.h"
#include "../cmdline/CommandLine.h"

class CWaitApp : public CWinApp
{
public:
	CWaitApp();
	virtual ~CWaitApp();

	// Attributes
	CObArray m_arrWaitThreads; // CWaitProcThread*, in the order started; not owned
	BOOL m_bExitCode;          // the exit code tells the outcome; otherwise it is always 0
	int m_nExitCode;

	// Operations
	// Starts a worker that waits for a window whose caption begins with
	// lpszCaption and then runs lpszCommand (with bRunAlways also when the
	// window never showed up), or registers it when the reboot flag
	// lpszRebootFlag (when given) is set. TRUE when it runs and is listed.
	BOOL StartWaitThread(LPCSTR lpszCaption, LPCSTR lpszCommand, LPCSTR lpszRebootFlag = NULL,
		const CStringArray* pKnownCommands = NULL, BOOL bRunAlways = FALSE, const CWaitExtras* pExtras = NULL);
	// With m_bExitCode, the code the process ends with.
	void SetExitCode(DWORD dwExitCode);
	BOOL IsWaitListEmpty();

	// Overridables
	virtual BOOL InitInstance(); // parses the command line
	virtual int Run();
	virtual int ExitInstance(); // the exit code

	// Implementation
protected:
	void OnWaitProcDone(WPARAM wParam, LPARAM lParam);

	DECLARE_MESSAGE_MAP()
};
