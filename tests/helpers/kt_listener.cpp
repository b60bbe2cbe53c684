// kt_listener: records the broadcast "__Detect_End_Of_Application__".
//   kt_listener OUTFILE READYFILE MS
// Registers the message, shows a hidden top-level window, creates READYFILE,
// and for MS milliseconds (or until WM_CLOSE) appends one line per message
// received: "<tick ms> <wParam> <lParam>".
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static UINT s_nEndMessage;
static FILE* s_out;

static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
	if (msg == s_nEndMessage && s_nEndMessage != 0)
	{
		fprintf(s_out, "%llu %lu %lu\n", GetTickCount64(), (unsigned long)wParam, (unsigned long)lParam);
		fflush(s_out);
		return 0;
	}
	if (msg == WM_CLOSE)
	{
		PostQuitMessage(0);
		return 0;
	}
	return DefWindowProcA(hWnd, msg, wParam, lParam);
}

int main(int argc, char** argv)
{
	if (argc < 4)
		return 2;
	s_out = fopen(argv[1], "a");
	if (s_out == NULL)
		return 3;
	s_nEndMessage = RegisterWindowMessageA("__Detect_End_Of_Application__");

	WNDCLASSA wc = {};
	wc.lpfnWndProc = WndProc;
	wc.hInstance = GetModuleHandleA(NULL);
	wc.lpszClassName = "KtEndListener";
	RegisterClassA(&wc);
	HWND hWnd = CreateWindowExA(
		0, wc.lpszClassName, "kt_listener", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
	if (hWnd == NULL)
		return 4;
	CloseHandle(CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));

	UINT_PTR timer = SetTimer(NULL, 0, (UINT)atoi(argv[3]), NULL);
	MSG msg;
	while (GetMessageA(&msg, NULL, 0, 0) > 0)
	{
		if (msg.message == WM_TIMER && msg.hwnd == NULL && msg.wParam == timer)
			break;
		DispatchMessageA(&msg);
	}
	DestroyWindow(hWnd);
	fclose(s_out);
	return 0;
}
