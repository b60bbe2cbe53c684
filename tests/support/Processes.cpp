#include "Processes.h"

#include <errno.h>
#include <stdio.h>
#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

std::string kt::BinPath(const char* name)
{
	char path[MAX_PATH];
	std::string dir(path, GetModuleFileNameA(NULL, path, MAX_PATH));
	return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

std::string kt::LongPath(const std::string& path)
{
	char buffer[MAX_PATH];
	DWORD n = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
	return n > 0 && n < MAX_PATH ? std::string(buffer, n) : path;
}

std::string kt::ToHex(const std::string& bytes)
{
	std::string hex;
	for (unsigned char c : bytes)
		hex.append({ "0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15] });
	return hex;
}

std::wstring kt::Widen(const std::string& text, UINT codePage)
{
	std::wstring wide(text.size(), L'\0');
	wide.resize(MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &wide[0], (int)wide.size()));
	return wide;
}

std::string kt::Narrow(const std::wstring& text, UINT codePage)
{
	std::string bytes(text.size() * 4, '\0');
	bytes.resize(
		WideCharToMultiByte(codePage, 0, text.data(), (int)text.size(), &bytes[0], (int)bytes.size(), NULL, NULL));
	return bytes;
}

std::string kt::UniqueName(const char* stem)
{
	static LONG counter;
	char name[128];
	sprintf(name, "%s-%lu-%ld-%llu", stem, GetCurrentProcessId(), InterlockedIncrement(&counter), GetTickCount64());
	return name;
}

kt::ScratchDir::ScratchDir()
{
	char temp[MAX_PATH];
	m_path = std::string(temp, GetTempPathA(MAX_PATH, temp)) + UniqueName("kt");
	CreateDirectoryA(m_path.c_str(), NULL);
}

kt::ScratchDir::~ScratchDir()
{
	std::error_code error; // what cannot be removed stays in the temporary folder
	std::filesystem::remove_all(Widen(m_path), error);
}

::testing::AssertionResult kt::Touch(const std::string& path)
{
	if (!std::ofstream(path, std::ios::binary))
		return ::testing::AssertionFailure() << "cannot create " << path << ", errno " << errno;
	return ::testing::AssertionSuccess();
}

std::string kt::ReadText(const std::string& path)
{
	std::ifstream file(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<std::string> kt::ReadLines(const std::string& path)
{
	std::vector<std::string> lines;
	std::ifstream file(path, std::ios::binary);
	for (std::string line; std::getline(file, line) && !file.eof();) // one without its newline is still being written
		lines.push_back(line);
	return lines;
}

::testing::AssertionResult kt::Within(LONGLONG value, LONGLONG low, LONGLONG high)
{
	if (value >= low && value <= high)
		return ::testing::AssertionSuccess();
	return ::testing::AssertionFailure() << value << " is not within " << low << ".." << high;
}

HANDLE kt::Duplicate(HANDLE h)
{
	HANDLE hCopy = NULL;
	DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS);
	return hCopy;
}

::testing::AssertionResult kt::Process::Start(const std::string& commandLine, const Job* job, DWORD flags)
{
	Kill();
	STARTUPINFOW si = {};
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi = {};
	// As a Unicode program starts another, whatever this one's code page.
	std::wstring line = Widen(commandLine);
	// In a job from its first instruction, so that every process it starts is
	// counted. Wine answers ERROR_INTERNAL_ERROR when the new process ended
	// during its start-up, before any of its code ran (seen under heavy load):
	// such a start is made again, and says so.
	DWORD error = ERROR_INTERNAL_ERROR;
	for (int attempt = 1; error == ERROR_INTERNAL_ERROR && attempt <= 5; ++attempt)
	{
		if (attempt > 1)
		{
			printf("kt: start %d after error 1359: %.200s\n", attempt, commandLine.c_str());
			Sleep(200);
		}
		const BOOL started = CreateProcessW(
			NULL, &line[0], NULL, NULL, FALSE, flags | (job ? CREATE_SUSPENDED : 0), NULL, NULL, &si, &pi);
		error = started ? ERROR_SUCCESS : GetLastError();
	}
	if (error != ERROR_SUCCESS)
		return ::testing::AssertionFailure() << "CreateProcessW failed, error " << error << ": " << commandLine;
	m_process.Attach(pi.hProcess);
	CHandle thread(pi.hThread);
	if (job != nullptr && (!AssignProcessToJobObject(job->Handle(), pi.hProcess) || ResumeThread(thread) == (DWORD)-1))
		return ::testing::AssertionFailure() << "no job for the process, error " << GetLastError();
	return ::testing::AssertionSuccess();
}

std::vector<DWORD> kt::ThreadsOf(DWORD pid)
{
	std::vector<DWORD> found;
	CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
	THREADENTRY32 entry = {};
	entry.dwSize = sizeof(entry);
	for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
		if (entry.th32OwnerProcessID == pid)
			found.push_back(entry.th32ThreadID);
	return found;
}

std::vector<DWORD> kt::ChildProcesses(const char* name, DWORD skip)
{
	std::vector<DWORD> found;
	CHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
	PROCESSENTRY32 entry = {};
	entry.dwSize = sizeof(entry);
	for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
		if (entry.th32ParentProcessID == GetCurrentProcessId() && entry.th32ProcessID != skip
			&& lstrcmpiA(entry.szExeFile, name) == 0)
			found.push_back(entry.th32ProcessID);
	return found;
}

JOBOBJECT_BASIC_ACCOUNTING_INFORMATION kt::Job::Counts() const
{
	JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
	if (!QueryInformationJobObject(m_job, JobObjectBasicAccountingInformation, &info, sizeof(info), NULL))
		ZeroMemory(&info, sizeof(info));
	return info;
}

DWORD kt::Process::ExitCode() const
{
	DWORD code = STILL_ACTIVE;
	if (Handle() != NULL)
		GetExitCodeProcess(Handle(), &code);
	return code;
}

void kt::Process::Kill()
{
	if (Handle() != NULL && WaitForSingleObject(Handle(), 0) == WAIT_TIMEOUT && TerminateProcess(Handle(), 1))
		WaitForSingleObject(Handle(), 5000);
	m_process.Close();
}

std::vector<kt::Record> kt::ReadRecords(const std::string& path, const char* tag)
{
	std::vector<Record> records;
	for (const std::string& line : ReadLines(path))
	{
		Record r;
		int argc = 0, used = 0;
		if (sscanf(line.c_str(), "start=%llu end=%llu argc=%d%n", &r.startMs, &r.endMs, &argc, &used) < 3)
			continue;
		for (size_t pos = (size_t)used, end; pos < line.size(); pos = end)
		{
			end = std::min(line.find(' ', pos + 1), line.size());
			std::string utf8; // none from "-", an empty argument
			for (size_t i = pos + 1; i + 1 < end; i += 2)
				utf8 += (char)strtoul(line.substr(i, 2).c_str(), NULL, 16);
			r.args.push_back(Narrow(Widen(utf8, CP_UTF8)));
		}
		if (tag == nullptr || (!r.args.empty() && r.args[0] == tag))
			records.push_back(r);
	}
	return records;
}

std::vector<kt::Record> kt::RecordFile::AwaitRuns(DWORD timeoutMs, const char* tag) const
{
	for (ULONGLONG end = GetTickCount64() + timeoutMs; Runs(tag).empty() && GetTickCount64() < end;)
		Sleep(50);
	Sleep(1000);
	return Runs(tag);
}

std::string kt::KestruneCommand(const std::string& args)
{
	return "\"" + BinPath("Kestrune.exe") + "\"" + (args.empty() ? "" : " " + args);
}

std::string kt::RecordCommand(const std::string& args)
{
	return "\"" + BinPath("kt_record.exe") + "\"" + (args.empty() ? "" : " " + args);
}

void kt::ExpectRecordedArguments(
	const std::vector<std::string>& commands, const std::vector<std::vector<std::string>>& expected)
{
	ScratchDir dir;
	std::vector<Process> running(50); // run i ends before run i + 50 starts in its place
	for (size_t i = 0, n = running.size(); i < commands.size() + n; ++i)
	{
		if (i >= n)
		{
			EXPECT_TRUE(running[i % n].Wait(120000));
			std::vector<Record> records = ReadRecords(dir.File(std::to_string(i - n).c_str()));
			EXPECT_EQ(
				expected.at(i - n), records.size() == 1 ? records[0].args : std::vector<std::string>{ "(no record)" })
				<< "line " << ToHex(commands[i - n]);
		}
		if (i < commands.size())
		{
			SetEnvironmentVariableA("KT_RECORD_FILE", dir.File(std::to_string(i).c_str()).c_str());
			EXPECT_TRUE(running[i % n].Start(commands[i]));
		}
	}
}

::testing::AssertionResult kt::RunUnderDebugger(
	const std::string& args, DWORD timeoutMs, std::vector<std::string>* pTexts, const std::string& exe)
{
	Process process;
	::testing::AssertionResult started = process.Start("\"" + exe + "\" " + args, nullptr, DEBUG_ONLY_THIS_PROCESS);
	if (!started)
		return started;
	pTexts->clear();
	std::optional<DWORD> exitCode; // from the process's exit event
	const ULONGLONG end = GetTickCount64() + timeoutMs;
	DEBUG_EVENT ev;
	// Only the thread that started the process receives its events.
	while (!exitCode && WaitForDebugEvent(&ev, (DWORD)std::max<LONGLONG>(0, end - GetTickCount64())))
	{
		DWORD status = DBG_CONTINUE;
		if (ev.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT)
		{
			// A text of nDebugStringLength bytes with its zero, or the part that could be read.
			std::string text(ev.u.DebugString.nDebugStringLength, '\0');
			ReadProcessMemory(process.Handle(), ev.u.DebugString.lpDebugStringData, &text[0], text.size(), NULL);
			pTexts->push_back(text.c_str());
		}
		else if (ev.dwDebugEventCode == EXCEPTION_DEBUG_EVENT
			&& ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
			status = DBG_EXCEPTION_NOT_HANDLED;
		else if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) // the image files are the debugger's to close
			CHandle(ev.u.CreateProcessInfo.hFile).Close();
		else if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT)
			CHandle(ev.u.LoadDll.hFile).Close();
		else if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
			exitCode = ev.u.ExitProcess.dwExitCode;
		ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
	}
	if (!exitCode)
	{
		DebugActiveProcessStop(GetProcessId(process.Handle()));
		return ::testing::AssertionFailure() << "still running after " << timeoutMs << " ms";
	}
	return *exitCode == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "exit code " << *exitCode;
}
