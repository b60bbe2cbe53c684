#include "afxapp.h"

static CWinApp* s_pApp = NULL;

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName), m_hInstance(NULL)
{
	// The application object is constructed on the main thread: that is the
	// thread its message loop runs on and that workers post to, and the
	// thread whose object it is, so that its quit request ends its own loop.
	m_bAutoDelete = FALSE;
	m_nThreadID = GetCurrentThreadId();
	s_pApp = this;
	AfxSetThreadObject(this);
}

CWinApp::~CWinApp()
{
	if (s_pApp == this)
		s_pApp = NULL;
	if (AfxGetThread() == this)
		AfxSetThreadObject(NULL);
}

BOOL CWinApp::InitInstance()
{
	return TRUE;
}

int CWinApp::Run()
{
	if (m_pMainWnd == NULL)
		AfxPostQuitMessage(0);
	return CWinThread::Run();
}

CWinApp* AfxGetApp()
{
	return s_pApp;
}

BOOL AfxGetModuleFileName(CString& strPath)
{
	// A path that does not fit is cut: grow and ask again, up to 32,767
	// characters of three bytes. In UTF-8 Wine cuts it after a whole character
	// and reports no error, so a path is taken as whole only when it leaves
	// more room than the longest character needs.
	BOOL bOk = FALSE;
	DWORD nLength = 1;
	for (DWORD nSize = MAX_PATH + 1; !bOk && nLength != 0 && nSize <= 2 * 3 * 32768; nSize *= 2)
	{
		LPSTR pBuffer = strPath.GetBuffer((int)nSize);
		nLength = pBuffer != NULL ? GetModuleFileNameA(NULL, pBuffer, nSize) : 0;
		bOk = nLength != 0 && nLength + 4 < nSize;
		strPath.ReleaseBuffer(bOk ? (int)nLength : 0);
	}
	return bOk;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
	CWinApp* pApp = AfxGetApp();
	if (pApp == NULL)
		return -1;
	pApp->m_hInstance = hInstance;
	AfxSetThreadObject(pApp);
	MSG msg;
	PeekMessageA(&msg, NULL, WM_USER, WM_USER, PM_NOREMOVE);
	int nReturnCode = pApp->InitInstance() ? pApp->Run() : pApp->ExitInstance();
	AfxSetThreadObject(NULL);
	return nReturnCode;
}
