// Test support, processes and files: scratch folders, real processes with
// bounded waits, kt_record's records, Kestrune.exe run as a launcher runs it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "afx/afxhandle.h"

namespace kt
{

// The file name beside the test program, where the helpers and Kestrune.exe are built.
std::string BinPath(const char* name);
// The long form of an existing path; the path itself otherwise.
std::string LongPath(const std::string& path);

std::string ToHex(const std::string& bytes);
// Text between a code page (this program's ANSI one by default) and UTF-16.
std::wstring Widen(const std::string& text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);

// Success when low <= value <= high; the message gives the value. Waits are
// bounded on both sides, generously: durations belong in the benchmark.
::testing::AssertionResult Within(LONGLONG value, LONGLONG low, LONGLONG high);

// A name that no other test, or earlier run, uses.
std::string UniqueName(const char* stem);

// A folder of its own under the temporary folder, removed with all it holds.
class ScratchDir
{
public:
	ScratchDir();
	~ScratchDir();
	const std::string& Path() const { return m_path; }
	std::string File(const char* name) const { return m_path + "\\" + name; }

private:
	std::string m_path;
};

// Creates an empty file, or empties an existing one.
::testing::AssertionResult Touch(const std::string& path);
std::string ReadText(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

// A second handle of h with the same access, for a guard of the caller's.
HANDLE Duplicate(HANDLE h);

// A job object: counts the processes started in it, and by them.
class Job
{
public:
	Job() : m_job(CreateJobObjectA(NULL, NULL)) {}
	HANDLE Handle() const { return m_job; }
	// TotalProcesses, ActiveProcesses ...; all 0 when they cannot be read.
	JOBOBJECT_BASIC_ACCOUNTING_INFORMATION Counts() const;

private:
	CHandle m_job;
};

// A started process; ended (if still running) and closed on destruction.
class Process
{
public:
	~Process() { Kill(); }

	// With job, the process runs in it from its start; flags: CreateProcess's.
	::testing::AssertionResult Start(const std::string& commandLine, const Job* job = nullptr, DWORD flags = 0);
	// True when the process has ended within timeoutMs.
	bool Wait(DWORD timeoutMs) const { return WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0; }
	DWORD ExitCode() const;
	HANDLE Handle() const { return m_process; }
	void Kill();

private:
	CHandle m_process;
};

// One run of kt_record, parsed from its line.
struct Record
{
	ULONGLONG startMs = 0, endMs = 0;
	std::vector<std::string> args; // argv[1..], from the recorder's UTF-16 arguments
};
// The runs recorded in path; with tag, only those whose first argument it is.
std::vector<Record> ReadRecords(const std::string& path, const char* tag = nullptr);

// A record file of its own, set (KT_RECORD_FILE) for the processes started from now on.
class RecordFile
{
public:
	RecordFile() { SetEnvironmentVariableA("KT_RECORD_FILE", Path().c_str()); }
	std::string Path() const { return m_dir.File("record.txt"); }
	std::vector<Record> Runs(const char* tag = nullptr) const { return ReadRecords(Path(), tag); }
	// The runs once one has come (within timeoutMs) and a second had time to.
	std::vector<Record> AwaitRuns(DWORD timeoutMs, const char* tag = nullptr) const;

private:
	ScratchDir m_dir;
};

// Command lines that run Kestrune.exe or kt_record with args (none when empty).
std::string KestruneCommand(const std::string& args);
std::string RecordCommand(const std::string& args = "");

// Starts each command line (a run of kt_record) with a record file of its own,
// fifty at a time; expects run i to record expected[i] ({"(no record)"}: none, or more than once).
void ExpectRecordedArguments(
	const std::vector<std::string>& commands, const std::vector<std::vector<std::string>>& expected);

std::vector<DWORD> ThreadsOf(DWORD pid);
// The running processes that this one started from file name, but skip.
std::vector<DWORD> ChildProcesses(const char* name, DWORD skip = 0);

// Runs exe with args under this thread's debugger: success when it ends within timeoutMs
// with exit code 0. *pTexts gets what it wrote to the debugger, in bytes of its code page.
::testing::AssertionResult RunUnderDebugger(const std::string& args, DWORD timeoutMs, std::vector<std::string>* pTexts,
	const std::string& exe = BinPath("Kestrune.exe"));

} // namespace kt
