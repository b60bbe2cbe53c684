// Kestrune.exe: runs a follow-up command once another application has come and gone.
#include "WaitApp.h"

#include <mbctype.h>

// Arguments are taken as written: a caption or command holding * or ? must not
// be expanded against file names.
int _dowildcard = 0;

static CWaitApp theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
	// Multibyte scans and comparisons follow the system's ANSI code page.
	_setmbcp(_MB_CP_ANSI);
	return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
