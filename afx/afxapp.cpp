#include "afxapp.h"

static CWinApp* s_pApp = NULL;
static HINSTANCE s_hResource = NULL;

CWinApp::CWinApp(LPCSTR lpszAppName) : m_pszAppName(lpszAppName), m_hInstance(NULL)
{
	// The application object is constructed on the main thread: that is the
	// thread its message loop runs on and that workers post to.
	m_bAutoDelete = FALSE;
	m_nThreadID = GetCurrentThreadId();
	s_pApp = this;
}

CWinApp::~CWinApp()
{
	if (s_pApp == this)
		s_pApp = NULL;
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

HINSTANCE AfxGetResourceHandle()
{
	return s_hResource != NULL ? s_hResource : GetModuleHandleA(NULL);
}

void AfxSetResourceHandle(HINSTANCE hResource)
{
	s_hResource = hResource;
}

BOOL AfxGetModuleFileName(CString& strPath, int nMaxPath)
{
	LPSTR pBuffer = strPath.GetBuffer(nMaxPath);
	if (pBuffer == NULL)
		return FALSE;
	ZeroMemory(pBuffer, (size_t)nMaxPath);
	DWORD nLength = GetModuleFileNameA(NULL, pBuffer, (DWORD)nMaxPath);
	BOOL bOk = nLength != 0 && nLength < (DWORD)nMaxPath;
	strPath.ReleaseBuffer(bOk ? (int)nLength : 0);
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
