// kt_window: shows top-level windows with a given caption, for a while.
//   kt_window [--hidden] [--held PID] [--count N] [--flag SUBKEY] --files DIR --caption TEXT MS
// The arguments are read in UTF-16 and the windows are of a Unicode class, so
// that any text, whatever this program's code page, comes through.
// The windows show for MS milliseconds and are then destroyed; with --held,
// counted from when a Kestrune.exe started by process PID (or by one it
// started) waits for input, or at most 20 s after they showed. With SUBKEY,
// the REG_DWORD RebootPending = 1 is set under HKEY_CURRENT_USER\SUBKEY right
// before the destruction, as an installer that needs a reboot does. The
// windows listen for the broadcast "__Detect_End_Of_Application__", and files
// in DIR tell the test what happened: "ready" and "gone" hold GetTickCount64
// when the windows exist and when their destruction begins (they may leave the
// window list from then on); "heard" gets a line "<tick> <wParam> <lParam>" per
// broadcast. Exit codes: 3, a window could not be made; 4, no "heard" file.
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <map>
#include <set>
#include <string>
#include <vector>

// Writes the tick count now to file name in folder dir (ending in a backslash).
static void WriteTick(const std::wstring& dir, const wchar_t* name)
{
	if (FILE* file = _wfopen((dir + name).c_str(), L"w"))
	{
		fprintf(file, "%llu", GetTickCount64());
		fclose(file);
	}
}

static UINT s_nEndMessage;
static FILE* s_heard;

static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	if (msg == s_nEndMessage && s_nEndMessage != 0)
	{
		fprintf(s_heard, "%llu %lu %lu\n", GetTickCount64(), (DWORD)wParam, (DWORD)lParam);
		fflush(s_heard); // a line at a time, for the test to read
		return 0;
	}
	return DefWindowProcW(hWnd, msg, wParam, lParam);
}

// Sleeps ms while serving the windows' messages, or until asked to quit.
static void Serve(DWORD ms)
{
	for (ULONGLONG end = GetTickCount64() + ms, now; (now = GetTickCount64()) < end;)
	{
		MSG msg;
		while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
		{
			if (msg.message == WM_QUIT)
				return;
			DispatchMessageW(&msg);
		}
		MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)(end - now), QS_ALLINPUT);
	}
}

// Whether a running Kestrune.exe started by process starter, or by one that
// it started, waits for input. Called every 50 ms: a relaunching instance
// lives longer than that, and is remembered.
static bool UtilityWaits(DWORD starter)
{
	static std::set<DWORD> s_ours = { starter }; // and its Kestrune.exe processes so far
	HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
	PROCESSENTRY32W p = {};
	p.dwSize = sizeof(p);
	bool waits = false;
	for (BOOL more = Process32FirstW(snapshot, &p); more; more = Process32NextW(snapshot, &p))
		if (_wcsicmp(p.szExeFile, L"Kestrune.exe") == 0 && s_ours.count(p.th32ParentProcessID) != 0)
		{
			s_ours.insert(p.th32ProcessID);
			HANDLE hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, p.th32ProcessID);
			waits |= hProcess != NULL && WaitForSingleObject(hProcess, 0) == WAIT_TIMEOUT
				&& WaitForInputIdle(hProcess, 0) == 0;
			CloseHandle(hProcess);
		}
	CloseHandle(snapshot);
	return waits;
}

int wmain(int argc, wchar_t** argv)
{
	// Each option that takes a value, with its value when not given.
	std::map<std::wstring, std::wstring> options = { { L"--held", L"0" }, { L"--count", L"1" }, { L"--files", L"" },
		{ L"--flag", L"" }, { L"--caption", L"" } };
	bool hidden = false;
	DWORD ms = 0;
	for (int i = 1; i < argc; ++i)
		if (wcscmp(argv[i], L"--hidden") == 0)
			hidden = true;
		else if (options.count(argv[i]) != 0 && i + 1 < argc)
		{
			options[argv[i]] = argv[i + 1];
			++i;
		}
		else
			ms = (DWORD)wcstoul(argv[i], NULL, 10);
	const DWORD held = (DWORD)_wtoi(options[L"--held"].c_str());
	const int count = _wtoi(options[L"--count"].c_str());
	const std::wstring files = options[L"--files"] + L"\\", &flag = options[L"--flag"];

	s_heard = _wfopen((files + L"heard").c_str(), L"ab");
	if (s_heard == NULL)
		return 4;
	s_nEndMessage = RegisterWindowMessageW(L"__Detect_End_Of_Application__");
	const WNDCLASSW wc = { 0, WndProc, 0, 0, GetModuleHandleW(NULL), NULL, NULL, NULL, NULL, L"KtCaptionWindow" };
	RegisterClassW(&wc);
	std::vector<HWND> windows;
	for (int i = 0; i < count; ++i)
	{
		HWND hWnd = CreateWindowExW(0, wc.lpszClassName, options[L"--caption"].c_str(), WS_OVERLAPPEDWINDOW,
			40 + 30 * i, 40 + 30 * i, 320, 120, NULL, NULL, wc.hInstance, NULL);
		if (hWnd == NULL)
			return 3;
		if (!hidden)
			ShowWindow(hWnd, SW_SHOWNOACTIVATE);
		windows.push_back(hWnd);
	}
	WriteTick(files, L"ready");
	for (ULONGLONG end = GetTickCount64() + 20000; held != 0 && !UtilityWaits(held) && GetTickCount64() < end;)
		Serve(50);
	Serve(ms);
	WriteTick(files, L"gone");
	const DWORD one = 1;
	if (!flag.empty())
		RegSetKeyValueW(HKEY_CURRENT_USER, flag.c_str(), L"RebootPending", REG_DWORD, &one, sizeof(one));
	for (HWND hWnd : windows)
		DestroyWindow(hWnd);
	return 0;
}
