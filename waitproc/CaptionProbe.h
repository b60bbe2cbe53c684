// The caption probe: is there a top-level window whose caption begins with a text?
#pragma once

#include <windows.h>

// Handed to EnumCaptionProc through its LPARAM.
struct CAPTIONSEARCH
{
	LPCSTR lpszCaption;                 // the caption prefix; not owned
	HWND hWndFound;                     // NULL at the start; the last match so far
};

// Enumeration callback: stores hWnd in the record when its caption begins with
// the prefix, compared case-insensitively over whole characters. FALSE (stop)
// only for a NULL record or prefix.
BOOL CALLBACK EnumCaptionProc(HWND hWnd, LPARAM lParam);
