// CWinThread: a thread object with its own message queue, whose loop hands the
// thread's posted messages to its message map; AfxBeginThread and AfxEndThread.
#pragma once

#include "afxhandle.h"
#include "afxobj.h"

class CWinThread : public CCmdTarget
{
public:
	CWinThread();
	virtual ~CWinThread(); // closes m_hThread

	// Attributes
	BOOL m_bAutoDelete; // delete the object when its thread ends through AfxEndThread
	HANDLE m_hThread;   // owned; NULL for the application's main thread
	DWORD m_nThreadID;
	CWnd* m_pMainWnd;   // not owned
	MSG m_msgCur;       // the last message the loop took; zero before the first
	BOOL m_bQuitPosted; // AfxPostQuitMessage was called on this thread
	int m_nQuitCode;    // its code

	// Operations
	// Starts the thread. It sets up its message queue and framework state and
	// then, with CREATE_SUSPENDED, holds suspended before InitInstance. FALSE
	// when any step fails: the thread has then ended without InitInstance.
	BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
	DWORD ResumeThread() { return ::ResumeThread(m_hThread); } // (DWORD)-1 on failure
	// A handle that is signalled when the thread ends and stays valid after
	// the object is gone, for waiting on a thread that deletes its own object.
	// The caller owns it; NULL after the first call.
	HANDLE DetachEndWait() { return m_hEndWait.Detach(); }
	BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
	{
		return ::PostThreadMessageA(m_nThreadID, message, wParam, lParam);
	}

	// Overridables
	virtual BOOL InitInstance(); // FALSE: the thread ends through ExitInstance
	// Takes messages until the quit request of AfxPostQuitMessage, then
	// returns ExitInstance(). A WM_QUIT that another program posts is dropped.
	// Thread messages have no window, so the loop hands them to the message map
	// itself; one without an entry is dropped.
	virtual int Run();
	virtual int ExitInstance(); // the code of the last message taken
	virtual void Delete();      // deletes the object when m_bAutoDelete

	// Implementation
private:
	static unsigned __stdcall ThreadEntry(void* pParam);
	// Ends the thread before InitInstance and waits until it has ended:
	// resumed with m_bDiscarded set, it returns at once.
	void EndUnstarted();
	friend void AfxDiscardThread(CWinThread* pThread);

	HANDLE m_hStartReady;       // set by the new thread once its queue exists; not owned
	CHandle m_hStartGo;         // set by the creator once the thread may go on
	CHandle m_hEndWait;         // SYNCHRONIZE only; see DetachEndWait
	volatile LONG m_bDiscarded; // the new thread ends without InitInstance
};

// The thread object of the calling thread; NULL on a thread the framework did not start.
CWinThread* AfxGetThread();

// Creates an object of pThreadClass (a CWinThread) and starts its thread.
// NULL when the object or its thread cannot be created (the object is then deleted).
CWinThread* AfxBeginThread(CRuntimeClass* pThreadClass, int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
	DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

// Ends the calling thread with nExitCode. With bDelete, deletes its thread
// object first when that object's m_bAutoDelete is TRUE. Does not return.
void AfxEndThread(UINT nExitCode, BOOL bDelete = TRUE);

// Ends a thread that AfxBeginThread created suspended, without running its
// InitInstance, waits until it has ended, and deletes its object. A thread
// that cannot be resumed is terminated where it is held.
void AfxDiscardThread(CWinThread* pThread);

// Posts the quit request with nCode to the calling thread's queue, and notes
// it in the calling thread's object, whose loop ends on no other quit.
void AfxPostQuitMessage(int nCode);

// The thread state slot; the framework sets it on each thread it runs.
void AfxSetThreadObject(CWinThread* pThread);
