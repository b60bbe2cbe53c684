// kt_window: shows top-level windows with a given caption, by a plan.
//   kt_window [--hidden] [--count N] [--ready FILE] [--gone FILE] [--flag SUBKEY]
//             (--caption TEXT | --caption-hex HEX) PLAN
// PLAN is a list of milliseconds, alternately shown and absent: "3000" shows
// the windows for 3 s; "1000,400,1000" shows them, destroys them for 400 ms and
// shows them again. FILE is created once the windows first exist. Ends after
// the last phase, or on WM_CLOSE. Both files hold the GetTickCount64 value of
// their moment: READY when the windows first exist, GONE.before when they are about to be
// destroyed for the last time, GONE once they have been. With SUBKEY, the
// REG_DWORD RebootPending = 1 is set under HKEY_CURRENT_USER\SUBKEY right
// before that last destruction, as an installer that needs a reboot does.
#include <windows.h>

#include <stdlib.h>
#include <string.h>
#include <vector>
#include <string>

static std::string FromHex(const char* hex)
{
	std::string s;
	for (; hex[0] && hex[1]; hex += 2)
	{
		char b[3] = { hex[0], hex[1], 0 };
		s += (char)strtoul(b, NULL, 16);
	}
	return s;
}

static void WriteTick(const char* path)
{
	char text[32];
	int n = wsprintfA(text, "%I64u", GetTickCount64());
	HANDLE hFile = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
	DWORD written;
	WriteFile(hFile, text, (DWORD)n, &written, NULL);
	CloseHandle(hFile);
}

static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	if (msg == WM_CLOSE)
	{
		PostQuitMessage(0);
		return 0;
	}
	return DefWindowProcA(hWnd, msg, wParam, lParam);
}

// Sleeps ms while serving the windows' messages. FALSE once asked to quit.
static bool Serve(DWORD ms)
{
	ULONGLONG end = GetTickCount64() + ms;
	for (;;)
	{
		MSG msg;
		while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
		{
			if (msg.message == WM_QUIT)
				return false;
			DispatchMessageA(&msg);
		}
		ULONGLONG now = GetTickCount64();
		if (now >= end)
			return true;
		MsgWaitForMultipleObjects(0, NULL, FALSE, (DWORD)(end - now), QS_ALLINPUT);
	}
}

int main(int argc, char** argv)
{
	bool hidden = false;
	int count = 1;
	const char* ready = NULL;
	const char* gone = NULL;
	const char* flag = NULL;
	std::string caption;
	std::vector<DWORD> plan;
	for (int i = 1; i < argc; ++i)
	{
		if (strcmp(argv[i], "--hidden") == 0)
			hidden = true;
		else if (strcmp(argv[i], "--count") == 0 && i + 1 < argc)
			count = atoi(argv[++i]);
		else if (strcmp(argv[i], "--ready") == 0 && i + 1 < argc)
			ready = argv[++i];
		else if (strcmp(argv[i], "--gone") == 0 && i + 1 < argc)
			gone = argv[++i];
		else if (strcmp(argv[i], "--flag") == 0 && i + 1 < argc)
			flag = argv[++i];
		else if (strcmp(argv[i], "--caption") == 0 && i + 1 < argc)
			caption = argv[++i];
		else if (strcmp(argv[i], "--caption-hex") == 0 && i + 1 < argc)
			caption = FromHex(argv[++i]);
		else
			for (char* p = argv[i]; *p; p = *p ? p + 1 : p)
				plan.push_back((DWORD)strtoul(p, &p, 10));
	}
	if (plan.empty())
		return 2;

	WNDCLASSA wc = {};
	wc.lpfnWndProc = WndProc;
	wc.hInstance = GetModuleHandleA(NULL);
	wc.lpszClassName = "KtCaptionWindow";
	RegisterClassA(&wc);

	for (size_t phase = 0; phase < plan.size(); ++phase)
	{
		if (phase % 2 == 1)
		{
			if (!Serve(plan[phase]))
				return 0;
			continue;
		}
		std::vector<HWND> windows;
		for (int i = 0; i < count; ++i)
		{
			HWND hWnd = CreateWindowExA(0, wc.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, 40 + 30 * i,
				40 + 30 * i, 320, 120, NULL, NULL, wc.hInstance, NULL);
			if (hWnd == NULL)
				return 3;
			if (!hidden)
				ShowWindow(hWnd, SW_SHOWNOACTIVATE);
			windows.push_back(hWnd);
		}
		if (phase == 0 && ready != NULL)
			WriteTick(ready);
		bool go_on = Serve(plan[phase]);
		// GONE.before: the windows leave the window list while they are
		// destroyed, which can take a while; GONE: they have left it.
		if (gone != NULL)
			WriteTick((std::string(gone) + ".before").c_str());
		const DWORD one = 1;
		if (flag != NULL && phase + 1 == plan.size())
			RegSetKeyValueA(HKEY_CURRENT_USER, flag, "RebootPending", REG_DWORD, &one, sizeof(one));
		for (HWND hWnd : windows)
			DestroyWindow(hWnd);
		if (gone != NULL)
			WriteTick(gone);
		if (!go_on)
			return 0;
	}
	return 0;
}
