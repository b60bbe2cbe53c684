// kt_debugrun: runs a program under the debugging API and records what it
// writes to the debugger.
//   kt_debugrun OUTFILE COMMANDLINE...
// The rest of this program's own command line after OUTFILE is the program's
// command line, taken as written. OUTFILE gets one line per OutputDebugString
// text, "debug:<hex of the text>", and last "exit:<code>". WaitForDebugEvent
// receives the text as bytes, in the code page of the program that wrote it.
#include <windows.h>

#include <stdio.h>
#include <string>

// The command line after the first two arguments, as written.
static const wchar_t* SkipArguments(const wchar_t* p, int count)
{
	for (int i = 0; i < count; ++i)
	{
		while (*p == ' ' || *p == '\t')
			++p;
		bool quoted = false;
		while (*p && (quoted || (*p != ' ' && *p != '\t')))
		{
			if (*p == '"')
				quoted = !quoted;
			++p;
		}
	}
	while (*p == ' ' || *p == '\t')
		++p;
	return p;
}

int main(int argc, char** argv)
{
	if (argc < 3)
		return 2;
	FILE* out = fopen(argv[1], "w");
	if (out == NULL)
		return 3;
	std::wstring command = SkipArguments(GetCommandLineW(), 2);

	STARTUPINFOW si = {};
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi = {};
	if (!CreateProcessW(NULL, &command[0], NULL, NULL, FALSE, DEBUG_ONLY_THIS_PROCESS, NULL, NULL, &si, &pi))
	{
		fprintf(out, "create-failed:%lu\n", GetLastError());
		fclose(out);
		return 4;
	}
	DEBUG_EVENT ev;
	DWORD exitCode = 0;
	for (bool running = true; running && WaitForDebugEvent(&ev, INFINITE);)
	{
		DWORD status = DBG_CONTINUE;
		switch (ev.dwDebugEventCode)
		{
		case OUTPUT_DEBUG_STRING_EVENT:
		{
			const OUTPUT_DEBUG_STRING_INFO& info = ev.u.DebugString;
			std::string text(info.nDebugStringLength, '\0');
			SIZE_T got = 0;
			ReadProcessMemory(pi.hProcess, info.lpDebugStringData, &text[0], text.size(), &got);
			text.resize(got);
			while (!text.empty() && text.back() == '\0')
				text.pop_back();
			fprintf(out, "debug:");
			for (unsigned char c : text)
				fprintf(out, "%02x", c);
			fprintf(out, "\n");
			fflush(out);
			break;
		}
		case EXCEPTION_DEBUG_EVENT:
			if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
				status = DBG_EXCEPTION_NOT_HANDLED;
			break;
		case CREATE_PROCESS_DEBUG_EVENT:
			if (ev.u.CreateProcessInfo.hFile)
				CloseHandle(ev.u.CreateProcessInfo.hFile);
			break;
		case LOAD_DLL_DEBUG_EVENT:
			if (ev.u.LoadDll.hFile)
				CloseHandle(ev.u.LoadDll.hFile);
			break;
		case EXIT_PROCESS_DEBUG_EVENT:
			exitCode = ev.u.ExitProcess.dwExitCode;
			running = false;
			break;
		}
		ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
	}
	fprintf(out, "exit:%lu\n", exitCode);
	fclose(out);
	CloseHandle(pi.hThread);
	CloseHandle(pi.hProcess);
	return 0;
}
