// kt_record: records that it was started, with its arguments, and ends.
//   kt_record [--sleep MS | --exit CODE] [args...]     (ends with CODE, 0 by default)
// Writes a byte to the handle KT_RECORD_HANDLE holds, if set (it arrives only
// where the handle was inherited), then appends to the file KT_RECORD_FILE names a line:
//   start=<ms> end=<ms> argc=<n> <hex(argv[1])> <hex(argv[2])> ...
// The arguments are the UTF-16 ones, as the C runtime splits the line,
// written in hex of their UTF-8 so that any character, quotes and spaces
// included, comes back exactly whatever this program's code page. The line is
// written once, after the sleep.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

int _dowildcard = 0;

int wmain(int argc, wchar_t** argv)
{
	ULONGLONG start = GetTickCount64();
	if (argc > 2 && wcscmp(argv[1], L"--sleep") == 0)
		Sleep((DWORD)_wtoi(argv[2]));
	const int code = argc > 2 && wcscmp(argv[1], L"--exit") == 0 ? _wtoi(argv[2]) : 0;

	char path[MAX_PATH], head[96];
	DWORD written;
	if (GetEnvironmentVariableA("KT_RECORD_HANDLE", head, sizeof(head)))
		WriteFile((HANDLE)(ULONG_PTR)strtoull(head, NULL, 10), "x", 1, &written, NULL);
	if (!GetEnvironmentVariableA("KT_RECORD_FILE", path, sizeof(path)))
		return 2;
	std::string line(head, sprintf(head, "start=%llu end=%llu argc=%d", start, GetTickCount64(), argc));
	for (int i = 1; i < argc; ++i)
	{
		static char utf8[3 * 32768];
		WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8, sizeof(utf8), NULL, NULL);
		line += argv[i][0] == '\0' ? " -" : " "; // "-": an empty argument
		for (const unsigned char* p = (const unsigned char*)utf8; *p; ++p)
			line.append({ "0123456789abcdef"[*p >> 4], "0123456789abcdef"[*p & 15] });
	}
	line += '\n';
	// One write: the lines of runs that end together never mix.
	HANDLE hFile = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
	BOOL ok = hFile != INVALID_HANDLE_VALUE && WriteFile(hFile, line.data(), (DWORD)line.size(), &written, NULL);
	CloseHandle(hFile);
	return ok ? code : 3;
}
