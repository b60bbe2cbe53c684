// CWaitProcThread: the worker that waits for a process or a caption window to
// come and go, broadcasts the end, and then runs (or registers) a follow-up
// command before it reports to its owner.
#pragma once

#include "../afx/afx.h"
#include "../afx/afxlog.h"
#include "../cmdline/CommandLine.h"

#define WM_WAITPROC_STOP     (WM_USER + 1) // to the worker; wParam 1, lParam 0
#define WM_WAITPROC_DONE     (WM_USER + 2) // to the owner; wParam 0, lParam the worker's thread id
#define WM_WAITPROC_DONE_ALT (WM_USER + 3) // as WM_WAITPROC_DONE, with m_bAltNotify

// The registered window message broadcast once the wait is over.
#define WAITPROC_END_MESSAGE "__Detect_End_Of_Application__"

// Every wait polls at this period.
#define WAITPROC_POLL_MS 500

// The machine's RunOnce key, under HKEY_LOCAL_MACHINE, and the longest
// command line, in characters, that Windows runs from it.
#define WAITPROC_RUNONCE_KEY        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce"
#define WAITPROC_RUNONCE_MAX_CHARS  MAX_PATH
// Registrations held over one reboot: the first takes the value name of the
// string table, the next ones that name and " 2", " 3" ... up to this.
#define WAITPROC_RUNONCE_MAX_VALUES 99

// The utility's exit codes with the exit-code option, beside the follow-up's
// own and ERROR_SUCCESS_REBOOT_REQUIRED (3010) for a command registered for
// after the reboot; far from the codes that installers end with (0, 1, 2,
// 1602, 1603, 1618, 1641, 3010) and from the system's error numbers.
#define WAITPROC_EXIT_NO_WINDOW   26001 // the window never appeared: nothing ran
#define WAITPROC_EXIT_NOT_STARTED 26002 // the follow-up (with /r: the new instance) could not be started
#define WAITPROC_EXIT_USAGE       26003 // the caption or the command option is missing

// Writes the debug-output line "<label>: <text>", whatever its length: the
// utility's lines are "SUCCESS: " or "ERROR: " and a command line that was
// started or could not be, "REGISTERED: " and the RunOnce value written, and
// "NOT REGISTERED: " and a command that runs now instead.
void WriteDebugLine(LPCSTR lpszLabel, LPCSTR lpszText);

class CWaitProcThread : public CWinThread
{
	DECLARE_DYNCREATE(CWaitProcThread)

public:
	CWaitProcThread();
	virtual ~CWaitProcThread();

	// The values of m_nWaitType, m_nNotifyType and m_nState.
	enum
	{
		waitNone = 0,
		waitProcess = 1,
		waitCaption = 2,
		waitProcessThenCaption = 3
	};
	enum
	{
		notifyNone = 0,
		notifyWindow = 1,
		notifyThread = 2
	};
	enum
	{
		stateIdle = 0,
		stateWaiting = 1,
		stateRunning = 2
	};

	// Attributes. The owner sets the configuration only while the thread is
	// suspended, before it is resumed; afterwards only the worker writes it.
	CWnd* m_pNotifyWnd;               // notifyWindow; not owned
	CWinThread* m_pNotifyThread;      // notifyThread; not owned
	int m_nNotifyType;                // notify...; other values count as notifyNone
	CString m_strCommand;             // follow-up command; emptied once it has run
	BOOL m_bRunAlways;                // act on the command even after a failed wait
	BOOL m_bAltNotify;                // notify with WM_WAITPROC_DONE_ALT
	CString m_strCaption;             // caption prefix of the window to wait for
	CStringArray m_astrKnownCommands; // programs whose pending RunOnce entry asks for a restart
	BOOL m_bNoImmediateRun;           // with no reboot pending, run nothing
	CString m_strRebootFlag;          // ROOT\subkey\value of the reboot flag
	HANDLE m_hWaitProcess;            // waitProcess and waitProcessThenCaption; owned
	HANDLE m_hCommandProcess;         // the follow-up process while it is awaited
	int m_nWaitType;                  // wait...
	BOOL m_bCaptionSeen;              // the caption window appeared during the process wait
	volatile LONG m_bStopRequested;   // set by Stop from any thread, never cleared
	volatile LONG m_bReported;        // set by the worker just before it reports, never cleared
	int m_nState;                     // state...
	CWaitExtras m_extras;             // the appear timeout; the restart line hands on it and the log
	DWORD m_dwExitCode;               // the outcome, as the exit-code option tells it; set before the report

	// Configuration: TRUE when the configuration changed, FALSE when nothing did.
	BOOL SetWaitCaption(LPCSTR lpszCaption); // only once; not NULL or empty
	BOOL SetCommand(LPCSTR lpszCommand, BOOL bRunAlways);
	BOOL SetNotifyThread(CWinThread* pThread);

	// Closing the process handles: TRUE when the field is NULL afterwards; a
	// failed close keeps the handle in its field.
	BOOL CloseWaitProcess();
	BOOL CloseCommandProcess();

	// Sets the stop flag and posts WM_WAITPROC_STOP to the worker thread; with
	// bWait, returns only once that thread has ended (its object is then
	// deleted). A refused post is tried again, with bWait until the thread
	// has ended; on the worker's own thread, a refused post ends the thread
	// at once. bWait must come from another thread, once. Always TRUE.
	BOOL Stop(BOOL bWait);

	// Posts the notification to the notify target; with none, stops itself.
	// A refused post is made again until it is taken, a stop is requested or
	// the target is gone.
	BOOL NotifyFinished();

	// The waits. WaitForProcess: TRUE when hProcess ended (or, in
	// waitProcessThenCaption, the caption window appeared), FALSE for NULL or a stop request.
	// WaitForCaption: TRUE when a matching window appeared (or had been seen)
	// and then stayed absent long enough.
	BOOL WaitForProcess(HANDLE hProcess);
	BOOL WaitForCaption(LPCSTR lpszCaption);

	// A top-level window whose caption begins with lpszCaption, or NULL.
	// *pbFailed (when given) tells whether a caption could not be read (no
	// memory, EnumWindows failed): a NULL answer is then no sign of absence.
	HWND FindCaptionWindow(LPCSTR lpszCaption, BOOL* pbFailed = NULL);

	// Starts m_strCommand and waits for it; TRUE when there was nothing to run
	// or it was started, FALSE when it could not be started.
	BOOL RunCommand();

	// TRUE when the REG_DWORD named by lpszFlagPath (ROOT\subkey\value) is
	// non-zero. Whenever the value is found it is deleted.
	BOOL CheckRebootFlag(LPCSTR lpszFlagPath);

	// Registers lpszCommand under the machine's RunOnce key, as the restart
	// command line when allowed and a known program's entry is pending in
	// either registry view, under the first free value name (IDS_RUNONCE_VALUE,
	// then that name with " 2" ...). TRUE when the value was written, or a
	// value already held the same line, and its line "REGISTERED: <value>";
	// FALSE with nothing written, also for an empty command or a value longer
	// than Windows runs.
	BOOL RegisterRestart(LPCSTR lpszCommand, BOOL bAllowRestartCommand, LPCSTR lpszCaption);

	// TRUE when a string value of the open key hKey contains one of
	// m_astrKnownCommands, letter case ignored.
	BOOL HasKnownRunOnceEntry(HKEY hKey);

	// The command line that starts this utility again with the relaunch,
	// run-always, caption and next-command options: the utility file beside this
	// executable, or with bTempCopy a fresh copy of it in the temporary folder.
	// strResult is written only on success.
	BOOL BuildRestartCommand(LPCSTR lpszCaption, LPCSTR lpszCommand, CString& strResult, BOOL bTempCopy);

	// lpszInput as it must stand inside a double-quoted argument for the C
	// runtime to read it back exactly. FALSE for NULL (strResult untouched).
	BOOL EscapeQuotes(LPCSTR lpszInput, CString& strResult);

	// Overridables
	virtual BOOL InitInstance(); // the wait procedure
	virtual int ExitInstance();  // closes the handles and ends the thread

	// Implementation
protected:
	void OnWaitProcStop(WPARAM wParam, LPARAM lParam); // wParam 1 after Stop: ends the thread

	DECLARE_MESSAGE_MAP()
};
