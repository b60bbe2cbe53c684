// kt_record: records that it was started, with its arguments, and ends.
//   kt_record [--sleep MS] [args...]
// Appends to the file named by KT_RECORD_FILE one line per run:
//   start=<ms> end=<ms> argc=<n> <hex(argv[1])> <hex(argv[2])> ...
// The arguments are the UTF-16 ones, as the C runtime splits the line,
// written in hex of their UTF-8 so that any character, quotes and spaces
// included, comes back exactly whatever this program's code page. The line is
// written once, after the sleep.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int _dowildcard = 0;

int wmain(int argc, wchar_t** argv)
{
	ULONGLONG start = GetTickCount64();
	if (argc > 2 && wcscmp(argv[1], L"--sleep") == 0)
		Sleep((DWORD)_wtoi(argv[2]));

	char path[MAX_PATH];
	if (!GetEnvironmentVariableA("KT_RECORD_FILE", path, sizeof(path)))
		return 2;
	HANDLE hFile = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
	if (hFile == INVALID_HANDLE_VALUE)
		return 3;
	char head[96];
	int n = sprintf(head, "start=%llu end=%llu argc=%d", start, GetTickCount64(), argc);
	DWORD written;
	WriteFile(hFile, head, (DWORD)n, &written, NULL);
	for (int i = 1; i < argc; ++i)
	{
		WriteFile(hFile, " ", 1, &written, NULL);
		static char utf8[3 * 32768];
		WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, sizeof(utf8), NULL, NULL);
		for (const unsigned char* p = (const unsigned char*)utf8; *p; ++p)
		{
			char hex[3];
			sprintf(hex, "%02x", *p);
			WriteFile(hFile, hex, 2, &written, NULL);
		}
		if (argv[i][0] == '\0')
			WriteFile(hFile, "-", 1, &written, NULL); // an empty argument
	}
	WriteFile(hFile, "\n", 1, &written, NULL);
	CloseHandle(hFile);
	return 0;
}
