// CWaitApp: the application object. It starts one worker per command line and
// quits once every worker has reported and has been stopped.
#pragma once

#include "../afx/afx.h"

class CWaitApp : public CWinApp
{
public:
	CWaitApp();
	virtual ~CWaitApp();

	// Attributes
	CObArray m_arrWaitThreads; // CWaitProcThread*, in the order started; not owned

	// Operations
	// Starts a worker that waits for a window whose caption begins with
	// lpszCaption and then runs lpszCommand (with bRunAlways also when the
	// window never showed up), or registers it when the reboot flag
	// lpszRebootFlag (when given) is set. TRUE when it runs and is listed.
	BOOL StartWaitThread(LPCSTR lpszCaption, LPCSTR lpszCommand, LPCSTR lpszRebootFlag = NULL,
		const CStringArray* pKnownCommands = NULL, BOOL bRunAlways = FALSE);
	BOOL IsWaitListEmpty();

	// Overridables
	virtual BOOL InitInstance(); // parses the command line
	virtual int Run();

	// Implementation
protected:
	void OnWaitProcDone(WPARAM wParam, LPARAM lParam);

	DECLARE_MESSAGE_MAP()
};
