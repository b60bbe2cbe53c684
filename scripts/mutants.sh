#!/usr/bin/env bash
# Plants faults one at a time and runs the tests that must catch each. Every
# row below names, separated by ";", a file, the test programs to build, the
# tests to run (a ctest regular expression) and the real fault it stands
# for; its "-" line is the exact original text and its "+" line the
# replacement ("\t" and "\n" stand for a tab and a line break, "\\" for a
# backslash; an empty "+" line deletes). The tree is copied to a scratch
# folder and built there, so the working tree is never touched, and each
# file is restored from the copy's own original. The selected rows' tests
# first run once with no fault: when one fails, nothing is counted and the
# run stops with exit code 3. Then prints one line per row: "caught" (a test
# failed), "HUNG" (a test timed out) or "MISSED" (all passed), the row's
# number and its time in seconds; then "caught K of N, HUNG H, MISSED M".
# A row whose "@" is followed by a build's name ("@win32", "@win64") is for
# that build only: the 32-bit build alone has the IsWow64Process check, and
# only the 64-bit Wine prefix has a second registry view. Rows of the other
# build are left out, and named; KESTRUNE_TEST_ARCH=win64 runs the x86_64 build.
# Exits non-zero when a row is HUNG or MISSED, its text is not found, or it
# does not build.
#   scripts/mutants.sh [ROW-NUMBER...]     (no numbers: every row)
source "$(dirname "$0")/preamble.sh"

rows=$(
  cat <<'ROWS'
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest.ReportsAndEndsOnlyOnItsOwnersStop ; a stop message from another program ends the worker
-if (wParam != 1 || !m_bStopRequested)
+if (wParam != 1)
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest|WaitAppTest ; Stop(TRUE) returns before the worker has ended
-if (bPosted && hEnded.IsCreated())\n\t\tWaitForSingleObject(hEnded, INFINITE);
+
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest.ReportsAndEndsOnlyOnItsOwnersStop ; a refused stop post is not tried again
-while (!bPosted && hEnded.IsCreated()
+while (FALSE && hEnded.IsCreated()
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest.NotifiesAWindow ; a worker whose own queue refuses its stop never ends
-if (!bPosted && nThreadID == GetCurrentThreadId())
+if (FALSE)
@ app/WaitApp.cpp ; worker_tests app_tests ; WaitAppTest.LoopEnds|FollowUpTest ; a report posted by another program stops the worker in its wait
-\n\t\t\t&& InterlockedCompareExchange(&pThread->m_bReported, 0, 0))
+)
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.EveryFailed ; a failed SuspendThread lets InitInstance run unconfigured
-bStarted = ::SuspendThread(m_hThread) != (DWORD)-1;
+::SuspendThread(m_hThread);
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.EveryFailed ; a failed DuplicateHandle leaves no handle to await the end
-BOOL bStarted = DuplicateHandle(
+BOOL bStarted = TRUE;\n\tDuplicateHandle(
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.EveryFailed ; a failed first ResumeThread is taken for a start
-if (bStarted && ::ResumeThread(m_hThread) != (DWORD)-1)
+if (bStarted && (::ResumeThread(m_hThread), TRUE))
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.EveryFailed ; a discarded thread runs InitInstance after all
-if (pThread->m_bDiscarded)
+if (FALSE)
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.EveryFailed ; a missing start event is not noticed
-if (hReady.IsCreated() && m_hStartGo.IsCreated())
+if (hReady.IsCreated())
@ restart/RebootFlag.cpp ; restart_tests ; AllocationFailureTest ; the flag check acts on a name that lost text to exhausted memory
-if (watch.HasFailed())\n\t\treturn FALSE;\n\n\t// Consumed
+\n\t// Consumed
@ restart/RunOnce.cpp ; restart_tests ; AllocationFailureTest ; the registration writes a value that lost text to exhausted memory
-\t\t!watch.HasFailed() && (bSame ||
+\t\t(bSame ||
@ restart/RestartCommand.cpp ; restart_tests ; AllocationFailureTest ; the restart command is built on a path that lost text
-if (watch.HasFailed())\n\t\treturn FALSE;\n\t// The timeout
+// The timeout
@ restart/CommandPath.cpp ; restart_tests ; AllocationFailureTest ; path normalisation hands on a command that lost text
-BOOL bDone = !watch.HasFailed();\n\tif (bDone)\n\t\tstrResult.Swap(strLine);
+BOOL bDone = TRUE;\n\tif (bDone)\n\t\tstrResult.Swap(strLine);
@ restart/RestartCommand.cpp ; restart_tests ; AllocationFailureTest ; the temporary copy replaces a file of the current folder
-if (watch.HasFailed())\n\t\treturn FALSE;\n\tDWORD dwAttributes
+DWORD dwAttributes
@ cmdline/CommandLine.cpp ; command_line_tests ; BuildWaiterCommandTest ; trailing backslashes are not doubled before the closing quote
-for (int i = 0; i < nBackslashes; ++i)\n\t\t*pOut++ = '\\\\';\n\tstrQuoted
+strQuoted
@ cmdline/CommandLine.cpp ; dbcs_tests ; DoubleByteTest.*cp9(32|36|50) ; a trail byte 0x5C is quoted as a backslash (code pages 932, 936 and 950)
-LPCSTR pNext = CharNextA(p);
+LPCSTR pNext = p + 1;
@ restart/CommandPath.cpp ; dbcs_tests ; DoubleByte ; a quote removal splits a double-byte character
-if (IsDBCSLeadByte((BYTE)pBuffer[nRead]) && nRead + 1 < nLength)
+if (FALSE)
@ restart/RebootFlag.cpp ; dbcs_tests ; DoubleByteTest ; a trail byte 0x5C starts the flag's value name
-pLast = CharPrevA(lpszFlagPath, pLast);
+--pLast;
@ cmdline/CommandLine.cpp ; command_line_tests ; ParseWaitOptionsTest ; option names are compared with their letter case
-return _mbsicmp(
+return _mbscmp(
@ waitproc/CaptionProbe.cpp ; worker_tests ; CaptionProbeTest ; captions are compared with their letter case
-CharUpperBuffW(pSearch->pszCaption, (DWORD)nPrefix);
+
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; one absent probe counts as vanished
-for (int nAbsent = 0; nAbsent < nVanishPolls;)
+for (int nAbsent = 1; nAbsent < nVanishPolls;)
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; the appear wait probes one poll too many
-(bNoLimit || i < nAppearPolls) && hWndFound == NULL;
+(bNoLimit || i <= nAppearPolls) && hWndFound == NULL;
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; no broadcast when the window never showed
-if (PostMessageA(HWND_BROADCAST,
+if (bWaited && PostMessageA(HWND_BROADCAST,
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; a failed probe counts as absent
-else if (!bFailed)
+else
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; a probe that sees the window does not start the count again
-\t\t\tnAbsent = 0;
+\t\t\t;
@ waitproc/CaptionProbe.cpp ; worker_tests ; CaptionProbeTest ; a caption that cannot be read for want of memory is not reported
-bFailed = bFailed || watch.HasFailed();
+
@ waitproc/RunCommand.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; the follow-up is not waited for
-if (WaitForProcess(m_hCommandProcess) && GetExitCodeProcess(
+if (GetExitCodeProcess(
@ waitproc/RunCommand.cpp ; app_tests ; FollowUpTest ; a long command's debug line is cut
-strLine.Format("%s: %s\\n", lpszLabel, lpszText);
+strLine.Format("%s: %.1000s\\n", lpszLabel, lpszText);
@ app/Relaunch.cpp ; app_tests ; FollowUpTest ; a relaunch that cannot be started leaves no trace
-\t\t\tWriteDebugLine("ERROR", strCommand);\n
+
@ res/strings.rc ; reboot_tests ; RebootTest ; the RunOnce value has another name
-"Vormelle"
+"Vormele"
@ restart/RebootFlag.cpp ; restart_tests ; RebootFlagTest ; the flag is deleted only when it is a REG_DWORD
-\t\tkey.DeleteValue(strValue);
+\t\tif (dwType == REG_DWORD)\n\t\t\tkey.DeleteValue(strValue);
@ restart/RestartCommand.cpp ; restart_tests ; RunOnceTest.RestartForm ; the restart line lacks the relaunch option
-BuildWaiterCommand(strProgram, TRUE, lpszCaption, lpszCommand, strLine,
+BuildWaiterCommand(strProgram, FALSE, lpszCaption, lpszCommand, strLine,
@ restart/RestartCommand.cpp ; restart_tests ; BuildRestartCommandTest ; a restart command is built with no utility beside the executable
-\tif (strUtility.IsEmpty())\n\t\treturn FALSE;\n
+
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.RestartForm ; a value grown since the key was asked is read past its end
-cbRead = cbData - 1,
+cbRead = cbData,
@ restart/CommandPath.cpp ; restart_tests ; CommandPathTest.GetFullLongPath ; a file gone between the two long-path calls gives an empty path
-if (strLong.IsEmpty())\n\t\t\tstrLong = strFound;
+if (pBuffer == NULL)\n\t\t\tstrLong = strFound;
@ afx/afxhandle.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; a start that Wine refused as ended during its start-up is not made again
-nTry < CPROCESS_START_TRIES &&
+nTry < 1 &&
@ afx/afxhandle.cpp ; worker_tests ; WorkerCyclesTest ; one handle of each started process is never closed
-CHandle hThread(pi.hThread);
+HANDLE hThread = pi.hThread;\n\t\t(void)hThread;
@ waitproc/RunCommand.cpp ; worker_tests ; WorkerCyclesTest ; a few bytes leak with every follow-up
-m_strCommand.Empty();
+m_strCommand.Empty();\n\t\tAfxAlloc(16);
@ afx/afxwide.cpp ; worker_tests ; WorkerCyclesTest ; the caption probe's buffers leak on every probe
-CWideString::~CWideString()\n{\n\tEmpty();
+CWideString::~CWideString()\n{
@ afx/afxhandle.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; the follow-up inherits the utility's inheritable handles
-pszCommandLine, NULL, NULL, FALSE, 0,
+pszCommandLine, NULL, NULL, TRUE, 0,
@ afx/afxthread.cpp ; framework_tests ; ThreadTest.SuspendedThread ; a thread asked for suspended runs at once
-if (bStarted && (dwCreateFlags & CREATE_SUSPENDED))
+if (FALSE)
@ waitproc/WaitProcedure.cpp ; reboot_tests ; RebootTest.RegistrationThatFails ; a consumed flag whose command cannot be registered loses the command
-if (!bRegistered && (bRebootPending || !m_bNoImmediateRun))
+if (!bRebootPending && !m_bNoImmediateRun)
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.PlainForm ; a RunOnce line of exactly 260 characters is refused
-nChars > WAITPROC_RUNONCE_MAX_CHARS
+nChars >= WAITPROC_RUNONCE_MAX_CHARS
@ app/Relaunch.cpp ; reboot_tests ; RebootTest.RestartForms ; the new instance does not receive the known commands
-&options.astrKnownCommands, options.bRunAlways, &options.extras))
+NULL, options.bRunAlways, &options.extras))
@ app/WaitApp.cpp ; reboot_tests ; RebootTest.PlainForm ; the reboot flag option never reaches the worker
-\tpThread->m_strRebootFlag = lpszRebootFlag;\n
+
@ cmdline/CommandLine.cpp ; command_line_tests ; ParseWaitOptionsTest ; the first reboot flag option counts, not the last
-options.strRebootFlag = pszText + names.strRebootFlag.GetLength();
+options.strRebootFlag = options.strRebootFlag.IsEmpty() ? CString(pszText + names.strRebootFlag.GetLength()) : options.strRebootFlag;
@ afx/afxobj.h ; framework_tests ; ThreadTest.SuspendedThread ; (test build's wiring) a thread object is allocated outside the framework's heap
-noexcept { return AfxAlloc(nSize); }
+noexcept { return ::operator new(nSize); }
@ afx/afxstr.h ; framework_tests ; CollectionTest ; (test build's wiring) a string array grows outside the framework's heap
-noexcept { return AfxAlloc(nSize); }
+noexcept { return ::operator new[](nSize); }
@ waitproc/WaitProcedure.cpp ; reboot_tests ; RebootTest.PlainForm ; the reboot flag is read before the wait instead of after it
-\tBOOL bWaited = FALSE;\n
+\tBOOL bWaited = FALSE;\n\tBOOL bEarly = CheckRebootFlag(m_strRebootFlag);\n#define CheckRebootFlag(x) bEarly\n
@ afx/afxwide.cpp ; unicode_tests dbcs_tests ; UnicodeTest.CaptionProbeAndDebugLineInUtf8$|DoubleByteTest.*cp932 ; a prefix that ends inside a character becomes a default character, which matches
-const DWORD dwFlags = MB_ERR_INVALID_CHARS;
+const DWORD dwFlags = 0;
@ waitproc/RunCommand.cpp ; unicode_tests ; UnicodeTest.CaptionProbeAndDebugLineInUtf8$ ; the debug line goes as bytes in the utility's code page
-OutputDebugStringW(pszWide);
+OutputDebugStringA(strLine);
@ waitproc/RunCommand.cpp ; app_tests ; FollowUpTest ; a debug line past 32,766 characters goes through OutputDebugStringW, which cuts it
-nChars > 0 && nChars <= 32767 ?
+nChars > 0 ?
@ afx/afxapp.cpp ; command_line_tests unicode_tests ; ModuleFileNameTest|UnicodeTest.FollowUp.*Words$ ; a module path that Wine cut after a whole character is taken as whole
-nLength + 4 < nSize;
+nLength < nSize;
@ afx/afxfind.cpp ; unicode_tests ; UnicodeTest.FollowUp.*Words$ ; a full path is sized in MAX_PATH bytes, and a UTF-8 path of fewer characters matches nothing
-DWORD nNeeded = GetFullPathNameA(lpszName, 0, NULL, NULL);
+DWORD nNeeded = MAX_PATH;
@ restart/RunOnce.cpp ; unicode_tests ; UnicodeTest.FollowUp.*Words$ ; the RunOnce scan sizes names for a double-byte code page, too small in UTF-8
-cchMaxName * 3 + 1
+cchMaxName * 2 + 2
@ restart/RunOnce.cpp ; unicode_tests ; UnicodeTest.FollowUp.*Words$ ; the RunOnce scan sizes data in UTF-16 bytes, too small in UTF-8
-cbData = AnsiRoom(cbMaxData)
+cbData = cbMaxData + 1
@ res/Kestrune.manifest ; unicode_tests ; UnicodeTest.FollowUp.*Words$ ; the manifest does not ask for UTF-8
->UTF-8</activeCodePage>
+>Legacy</activeCodePage>
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.ProcessThenCaption ; the process wait does not look for the caption window
-? FindCaptionWindow(m_strCaption)\n\t\t\t: NULL;
+? (HWND)NULL\n\t\t\t: NULL;
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.StopIsNoticed ; a stop during the appear phase is not noticed
-\t\t\t\tif (m_bStopRequested)\n\t\t\t\t\treturn FALSE;
+\t\t\t\t;
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; the follow-up runs at once though it was told not to
-|| !m_bNoImmediateRun))
+|| TRUE))
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest.NotifiesAWindow ; the report to a window does not name the worker
-PostMessageA(m_pNotifyWnd->m_hWnd, nMessage, 0, (LPARAM)m_nThreadID)
+PostMessageA(m_pNotifyWnd->m_hWnd, nMessage, 0, 0)
@ app/WaitApp.cpp ; worker_tests ; WaitAppTest ; a report is matched against an empty entry of the list
-if (pThread != NULL && pThread->m_nThreadID
+if (pThread->m_nThreadID
@ afx/afxapp.cpp ; app_tests ; AppProcessTest.ExitCodes ; a start-up that fails ends with a non-zero exit code
-: pApp->ExitInstance();
+: 1;
@ res/timeouts.rc ; app_tests ; AppProcessTest.ExitCodes ; the window is awaited for 30 s, not 60
-IDS_APPEAR_TIMEOUT      "60"
+IDS_APPEAR_TIMEOUT      "30"
@ app/Relaunch.cpp ; app_tests ; InstallerTest ; the first instance waits for its new instance and holds its launcher up
-bStarted = dwResult == ERROR_SUCCESS;
+bStarted = dwResult == ERROR_SUCCESS;\n\t\tWaitForSingleObject(process.GetHandle(), INFINITE);
@ restart/RestartCommand.cpp ; restart_tests ; BuildRestartCommandTest ; the temporary copy keeps the utility's read-only attribute
-\tif (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY))\n\t\tSetFileAttributesA(strCopy, 0);\n\treturn TRUE;
+\treturn TRUE;
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.MissingKey ; a RunOnce key created just now is searched for known entries
-((dwDisposition == REG_OPENED_EXISTING_KEY && HasKnownRunOnceEntry(key))
+((HasKnownRunOnceEntry(key))
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.PlainForm ; an empty known command (a variable never set) matches every entry
-if (!strKnown.Convert(m_astrKnownCommands[j]) || strKnown.GetLength() == 0)
+if (!strKnown.Convert(m_astrKnownCommands[j]))
@ restart/CommandPath.cpp ; restart_tests ; CommandPathTest.SplitCommandLine ; a space inside double quotes ends the program part
-bInQuotes = !bInQuotes;
+;
@ afx/afxstr.cpp ; framework_tests ; CollectionTest ; a string that grows releases its old text before an append of itself has read it
-memcpy(strGrown.m_pchData, m_pchData, (size_t)m_nDataLength);
+memcpy(strGrown.m_pchData, m_pchData, (size_t)m_nDataLength);\n\t\tmemset(m_pchData, 'x', (size_t)m_nDataLength);
@ restart/RestartCommand.cpp ; restart_tests reboot_tests ; RunOnceTest.RestartForm|RebootTest.RestartForms ; the restart line waits in vain for a window that came and went before it ran
-strLine, NULL, NULL, TRUE, &extras)
+strLine, NULL, NULL, FALSE, &extras)
@ cmdline/CommandLine.cpp ; command_line_tests ; ParseWaitOptionsTest|BuildWaiterCommandTest ; the run-always option is not read
-\t\t\toptions.bRunAlways = TRUE;
+\t\t\toptions.bRunAlways = FALSE;
@ app/WaitApp.cpp ; reboot_tests ; RebootTest.RestartForms ; the run-always option never reaches the worker
-pThread->SetCommand(lpszCommand, bRunAlways);
+pThread->SetCommand(lpszCommand, FALSE);
@ restart/RunOnce.cpp ; restart_tests reboot_tests ; RunOnceTest.PlainForm|RebootTest.PlainForms ; a second registration finds no name of its own and runs before the reboot
-if (nValue == valueFree && strFree.IsEmpty())
+if (n == 2)
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.PlainForm ; the same line is registered again under the next name
-\t\t? valueSame\n
+\t\t? valueTaken\n
@ waitproc/WaitProcedure.cpp ; reboot_tests ; RebootTest.RegistrationThatFails ; an empty command with a set flag is registered
-CheckRebootFlag(m_strRebootFlag) && !m_strCommand.IsEmpty();
+CheckRebootFlag(m_strRebootFlag);
@ restart/CommandPath.cpp ; restart_tests reboot_tests ; CommandPathTest.SplitCommandLine|RebootTest.PlainForms ; an unquoted program path with spaces is registered as its first word
-for (LPCSTR pEnd = p; !bFound
+for (LPCSTR pEnd = p; FALSE
@ restart/CommandPath.cpp ; restart_tests reboot_tests ; CommandPathTest.SplitCommandLine|RebootTest.PlainForms ; a bare program is taken from the current folder, not from the utility's
-else if (GetModuleFolder(strDirectory) && IsProgramFile
+else if (FALSE && IsProgramFile
@ restart/CommandPath.cpp ; restart_tests ; CommandPathTest.SplitCommandLine ; a bare program is not looked for on the search path
-DWORD nNeeded = SearchPathA(NULL, strFile, NULL, 0, NULL, NULL);
+DWORD nNeeded = 0;
@ restart/CommandPath.cpp ; restart_tests ; CommandPathTest.SplitCommandLine ; ".exe" is not added to a program named without it
-\t\tstrFile += ".exe";
+\t\tstrFile += "";
@ restart/CommandPath.cpp ; restart_tests ; CommandPathTest.SplitCommandLine ; a tab does not end the program part
-else if ((*p == ' ' || *p == '\\t') && !bInQuotes)
+else if (*p == ' ' && !bInQuotes)
@ restart/RebootFlag.cpp ; restart_tests ; RebootFlagTest ; a flag path that names no key leaves no trace
-WriteDebugLine("FLAG NOT READ", lpszFlagPath);
+(void)lpszFlagPath;
@ restart/RebootFlag.cpp ; restart_tests ; RebootFlagTest ; the short root names are not known
-"HKEY_DYN_DATA", "HKCR",
+"HKEY_DYN_DATA", "HKCX",
@win64 restart/RebootFlag.cpp ; restart_tests ; RebootFlagTest ; the flag is read in this program's registry view only
-nView < (samOtherView != 0 ? 2 : 1)
+nView < 1
@win64 restart/RunOnce.cpp ; restart_tests ; RunOnceTest.RestartForm ; a known entry in the other registry view is not seen
-KEY_READ | samOtherView) == ERROR_SUCCESS
+KEY_READ | samOtherView) == ERROR_SUCCESS && FALSE
@ afx/afxthread.cpp ; worker_tests app_tests ; WaitAppTest.LoopEnds|FollowUpTest ; a WM_QUIT that another program posts ends the loop
-if (!m_bQuitPosted)\n\t\t\t\tcontinue;
+
@ waitproc/WaitProcThread.cpp ; worker_tests ; WorkerTest.ReportsAndEnds ; a refused report is not posted again
-\t\tSleep(WAITPROC_POLL_MS / 10);\n\t}
+\t\treturn TRUE;\n\t}
@ restart/RunOnce.cpp ; unicode_tests ; UnicodeTest.FollowUp.*Words$ ; in UTF-8 a registered line read in a buffer of its UTF-16 size is taken for another, and registered twice
-DWORD cbRoom = AnsiRoom(cbData);
+DWORD cbRoom = cbData;
@ restart/RunOnce.cpp ; restart_tests ; RunOnceTest.PlainForm ; the same line held under a later name is registered again under a free earlier one
-WAITPROC_RUNONCE_MAX_VALUES + 1 && !bSame;
+WAITPROC_RUNONCE_MAX_VALUES + 1 && !bSame && strFree.IsEmpty();
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; the end is broadcast before the wait instead of after it
-BOOL bWaited = FALSE;\n
+BOOL bWaited = FALSE;\n\tPostMessageA(HWND_BROADCAST, RegisterWindowMessageA(WAITPROC_END_MESSAGE), 0, 0);\n#define PostMessageA(hWnd, nMsg, wParam, lParam) TRUE\n
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; the follow-up starts 2 s late
-\t\t\tRunCommand();
+\t\t\tSleep(2000), RunCommand();
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; the vanish probes are 2 s apart, not 500 ms
-\t\tSleep(WAITPROC_POLL_MS);\n\t}\n\tAfxLog("window gone");
+\t\tSleep(4 * WAITPROC_POLL_MS);\n\t}\n\tAfxLog("window gone");
@ waitproc/WaitProcedure.cpp ; reboot_tests ; RebootTest.RestartForms ; a run-always wait, as the restart line's, does not wait for the window to go
-for (int nAbsent = 0; nAbsent < nVanishPolls;)
+for (int nAbsent = 0; nAbsent < nVanishPolls && !m_bRunAlways;)
@ waitproc/CaptionProbe.cpp ; worker_tests ; CaptionProbeTest ; of several matching windows the first is given, not the last
-pSearch->hWndFound = hWnd; // the last match wins
+pSearch->hWndFound = pSearch->hWndFound != NULL ? pSearch->hWndFound : hWnd;
@ app/main.cpp ; app_tests ; FollowUpTest ; the utility's own arguments are expanded against file names
-int _dowildcard = 0;
+int _dowildcard = 1;
@ app/WaitApp.cpp ; app_tests ; AppProcessTest.ExitCodes ; /r without a caption or command starts a new instance
-if (!options.bCaptionGiven || !options.bNextGiven
+if (options.bRelaunch)\n\t\treturn RelaunchWaiter(options);\n\tif (!options.bCaptionGiven || !options.bNextGiven
@ waitproc/CaptionProbe.cpp ; unicode_tests ; UnicodeTest.CaptionProbeAndDebugLineInUtf8$ ; captions are compared by lstrcmpiA, which Windows converts through the thread locale's code page
-if (memcmp(pSearch->pszCaption, pSearch->lpszPrefix, (size_t)nPrefix * sizeof(WCHAR)) == 0)
+if (lstrcmpiA(CString(pSearch->pszCaption), CString(pSearch->lpszPrefix)) == 0)
@ afx/afxwide.cpp ; unicode_tests ; UnicodeTest ; letters outside ASCII keep their case, as with the C runtime's multibyte functions in UTF-8
-CharUpperBuffW(m_pwchData, (DWORD)m_nLength);
+for (int i = 0; i < m_nLength; ++i)\n\t\t\tif (m_pwchData[i] >= L'a' && m_pwchData[i] <= L'z')\n\t\t\t\tm_pwchData[i] -= 32;
@ afx/afxfind.cpp ; Kestrune ; ProductImportsTest ; file names are found by FindFirstFileA, whose MAX_PATH bytes a long UTF-8 name overruns
-m_hFind = ::FindFirstFileW(strWide, &m_next);
+WIN32_FIND_DATAA found;\n\tm_hFind = ::FindFirstFileA(strFull, &found);\n\tMultiByteToWideChar(CP_ACP, 0, found.cFileName, -1, m_next.cFileName, MAX_PATH);
@ waitproc/RunCommand.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; a follow-up that needs elevation is not started
-if (dwResult == ERROR_ELEVATION_REQUIRED)
+if (FALSE)
@ afx/afxhandle.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; a follow-up started through the shell is not waited for
-m_hProcess.Attach(sei.hProcess);
+::CloseHandle(sei.hProcess);
@ waitproc/RunCommand.cpp ; worker_tests ; WaitProcedureTest.FollowUpRuns ; a follow-up started through the shell loses its arguments
-return process.StartThroughShell(strFile, strParameters.IsEmpty() ? NULL : (LPCSTR)strParameters);
+return process.StartThroughShell(strFile, NULL);
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; the appear timeout of the command line is not applied
-if (m_extras.nAppearSeconds >= 0)\n\t\tnAppearPolls
+if (FALSE)\n\t\tnAppearPolls
@ waitproc/WaitProcedure.cpp ; worker_tests ; WaitProcedureTest.VanishCount ; an appear timeout of 0 waits no time instead of without a limit
-BOOL bNoLimit = m_extras.nAppearSeconds == 0;
+BOOL bNoLimit = FALSE;
@ cmdline/CommandLine.cpp ; command_line_tests ; ParseWaitOptionsTest ; a timeout longer than a day is taken
-if (nSeconds > CMDLINE_MAX_APPEAR_SECONDS)
+if (FALSE)
@ app/WaitApp.cpp ; app_tests ; AppProcessTest.ExitCodes ; the exit code does not tell the follow-up's outcome
-SetExitCode(pThread->m_dwExitCode);
+
@ waitproc/WaitProcedure.cpp ; reboot_tests ; RebootTest.RestartForms ; a command registered for after the reboot does not give 3010
-m_dwExitCode = ERROR_SUCCESS_REBOOT_REQUIRED;
+
@ afx/afxlog.cpp ; app_tests ; AppProcessTest.ExitCodes ; the log is written at the writer's own offset, over another instance's lines
-CreateFileW(strPath, FILE_APPEND_DATA,
+CreateFileW(strPath, GENERIC_WRITE,
@ app/WaitApp.cpp ; app_tests ; AppProcessTest.ExitCodes ; the log option opens no log
-AfxOpenLog(options.extras.strLog);
+
@ app/Relaunch.cpp ; app_tests ; AppProcessTest.ExitCodes ; the new instance gets no timeout, exit-code or log option
-options.bRunAlways, &options.extras))
+options.bRunAlways))
@ restart/RestartCommand.cpp ; reboot_tests ; RebootTest.RestartForms ; the restart line does not carry the timeout and the log
-CWaitExtras extras = m_extras;
+CWaitExtras extras;
@ restart/RestartCommand.cpp ; restart_tests ; BuildRestartCommandTest ; a restart line too long with the timeout and log is not built at all
-return BuildWaiterCommand(strProgram, TRUE, lpszCaption, lpszCommand, strResult, NULL, NULL, TRUE);
+return FALSE;
@ app/WaitApp.cpp ; app_tests ; AppProcessTest.ExitCodes ; a missing caption or command ends with the code of a start that failed
-\t\tSetExitCode(WAITPROC_EXIT_USAGE);
+\t\t;
@ waitproc/RunCommand.cpp ; app_tests ; AppProcessTest.ExitCodes ; a follow-up that cannot be started ends with 0
-m_dwExitCode = bStarted ? ERROR_SUCCESS : WAITPROC_EXIT_NOT_STARTED;
+m_dwExitCode = ERROR_SUCCESS;
@win32 afx/afxhandle.cpp ; restart_tests ; RunOnceTest.MissingKey|RebootFlagTest ; on 32-bit Windows the one RunOnce key is searched again as the other view, a key created just now included
-if (pfnIsWow64Process == NULL || !pfnIsWow64Process(::GetCurrentProcess(), &bWow64) || !bWow64)
+if (pfnIsWow64Process == NULL && bWow64)
@win32 afx/afxhandle.cpp ; restart_tests ; RebootFlagTest ; a 32-bit program on 64-bit Windows never looks in the other registry view
-return KEY_WOW64_64KEY;
+return 0;
ROWS
)

# The selected rows, one entry of each array per row.
wanted=" $* "
number=0
numbers=() files=() targets=() tests=() whats=() originals=() replacements=() other=()
while IFS= read -r line; do
  case "$line" in
    @*)
      build=${line%% *} build=${build#@}
      IFS=';' read -r file target test what <<<"$(sed 's/ *; */;/g' <<<"${line#* }")"
      ;;
    -*) original=${line#-} ;;
    +*)
      number=$((number + 1))
      [ "$wanted" = "  " ] || [[ "$wanted" == *" $number "* ]] || continue
      if [ -n "$build" ] && [ "$build" != "$KESTRUNE_TEST_PRESET" ]; then
        other+=("$number")
        continue
      fi
      numbers+=("$number") files+=("$file") targets+=("$target") tests+=("$test") whats+=("$what")
      originals+=("$original") replacements+=("${line#+}")
      ;;
  esac
done <<<"$rows"
[ ${#other[@]} -eq 0 ] || echo "mutants.sh: rows ${other[*]} are for the other build, not $KESTRUNE_TEST_PRESET: left out" >&2
[ ${#numbers[@]} -gt 0 ] || { echo "mutants.sh: no row numbered $* for $KESTRUNE_TEST_PRESET" >&2; exit 2; }

scratch=$(mktemp -d /tmp/kestrune-mutants.XXXXXX)
finish() { wine_session_stop; rm -rf "$scratch"; }
trap finish EXIT
# The tree as it is now, kept apart: a row's file is restored from it, so an
# edit made in the working tree during the run reaches no later row.
mkdir "$scratch/original"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$scratch/original"
cp -r "$scratch/original" "$scratch/tree"
cd "$scratch/tree"
echo "mutants.sh: building a copy of the tree in $scratch/tree ($KESTRUNE_TEST_PRESET)" >&2
kestrune_build "$KESTRUNE_TEST_PRESET" >/dev/null
export WINEDEBUG="-all,+pid,err+heap,warn+heap"
session_start() {
  wine_session_start "$scratch/tree/build/$KESTRUNE_TEST_PRESET"
  trap finish EXIT # in place of the one wine_session_start sets
}
session_start
wine_session_check_heap Kestrune.exe $(cd "build/$KESTRUNE_TEST_PRESET/bin" && ls -- *_tests.exe)

# mutate FILE ORIGINAL REPLACEMENT: exactly one occurrence, or it fails.
mutate() {
  python3 - "$@" <<'PY'
import sys
def unescape(a):
    return a.replace("\\\\", "\0").replace("\\t", "\t").replace("\\n", "\n").replace("\0", "\\")
path, old, new = sys.argv[1], *(unescape(a) for a in sys.argv[2:])
text = open(path).read()
if text.count(old) != 1:
    sys.exit(f"mutants.sh: {path}: the original text stands {text.count(old)} times, not once: {old!r}")
open(path, "w").write(text.replace(old, new))
PY
}

# run_tests REGEX LOG. No --timeout: each test's own TIMEOUT (300 s, in
# tests/CMakeLists.txt) outranks it; a test that ran out shows "***Timeout".
run_tests() {
  ctest --test-dir "build/$KESTRUNE_TEST_PRESET" -R "$1" >"$2" 2>&1
}

# A test that fails unmutated would count as a catch of every row that runs it.
# Each row's expression is a whole alternative; no parentheses around them, as
# CMake's regular expressions take only a few groups.
baseline=$(printf '%s\n' "${tests[@]}" | sort -u | paste -sd'|')
echo "mutants.sh: running the selected rows' tests on the unmutated tree" >&2
if ! run_tests "$baseline" "$scratch/baseline.log"; then
  echo "mutants.sh: these tests fail with no fault planted, so no row is counted:" >&2
  grep -E '^\s+[0-9]+ - ' "$scratch/baseline.log" >&2 || tail -20 "$scratch/baseline.log" >&2
  exit 3
fi

caught=0 hung=0 missed=0
for i in "${!numbers[@]}"; do
  start=$SECONDS
  file=${files[i]}
  mutate "$file" "${originals[i]}" "${replacements[i]}"
  # shellcheck disable=SC2086 # one word per test program
  if ! kestrune_build "$KESTRUNE_TEST_PRESET" Kestrune ${targets[i]} >"$scratch/build.log" 2>&1; then
    tail -20 "$scratch/build.log" >&2
    echo "mutants.sh: row ${numbers[i]} does not build" >&2
    exit 2
  fi
  if run_tests "${tests[i]}" "$scratch/test.log"; then
    result=MISSED missed=$((missed + 1))
  elif grep -q '\*\*\*Timeout' "$scratch/test.log"; then
    result=HUNG hung=$((hung + 1))
    # What the timed-out test started may still be waiting: a fresh session.
    wine_session_stop
    session_start
  else
    result=caught caught=$((caught + 1))
  fi
  # A plain copy: newer than the mutant's objects, so the next build redoes them.
  cp "$scratch/original/$file" "$file"
  detail=
  [ "$result" = caught ] || detail=" (${tests[i]})"
  printf '%-6s %2d %4d s  %s: %s%s\n' "$result" "${numbers[i]}" $((SECONDS - start)) "$file" "${whats[i]}" "$detail"
done
echo "caught $caught of ${#numbers[@]}, HUNG $hung, MISSED $missed ($KESTRUNE_TEST_PRESET; ${#other[@]} rows of the other build left out)"
[ "$caught" -eq "${#numbers[@]}" ]
