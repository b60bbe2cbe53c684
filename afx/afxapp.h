// CWinApp: the one application object, run on the main thread by AfxWinMain.
#pragma once

#include "afxstr.h"
#include "afxthread.h"

class CWinApp : public CWinThread
{
public:
	explicit CWinApp(LPCSTR lpszAppName = NULL);
	virtual ~CWinApp();

	// Attributes
	LPCSTR m_pszAppName;
	HINSTANCE m_hInstance;

	// Overridables
	virtual BOOL InitInstance();
	// Posts the quit request when there is no main window, then runs the loop.
	virtual int Run();
};

// The application object; NULL before it is constructed.
CWinApp* AfxGetApp();

// The full path of the running executable, whatever its length in bytes: a
// path of MAX_PATH characters takes up to three bytes each in UTF-8. FALSE
// when it cannot be had whole: a cut path is no path.
BOOL AfxGetModuleFileName(CString& strPath);

// The start-up sequence: InitInstance, then Run on TRUE or ExitInstance on
// FALSE; their result is the process exit code.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
