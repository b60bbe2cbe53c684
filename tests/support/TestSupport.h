// What the tests share: paths of the helper programs, real processes with
// bounded waits, scratch folders, and waits that pump messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kt {

// The folder of the running test program, where every helper and
// Kestrune.exe are built; with a trailing backslash.
std::string BinDir();
std::string BinPath(const char* name);

std::string ToHex(const std::string& bytes);
std::string FromHex(const std::string& hex);

// A name that no other test, or earlier run, uses.
std::string UniqueName(const char* stem);

// A folder of its own under the temporary folder, removed with its files.
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

// A started process; ended (if still running) and closed on destruction.
class Process
{
public:
	Process() = default;
	~Process();
	Process(const Process&) = delete;
	Process& operator=(const Process&) = delete;

	bool Start(const std::string& commandLine);
	// True when the process has ended within timeoutMs.
	bool Wait(DWORD timeoutMs);
	DWORD ExitCode() const;
	HANDLE Handle() const { return m_hProcess; }
	void Kill();

private:
	HANDLE m_hProcess = NULL;
};

// Pumps this thread's messages and polls pred about every 20 ms, for at most
// timeoutMs. Returns pred's last answer.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// Takes the next thread message numbered message from this thread's queue,
// pumping the others, for at most timeoutMs. False when none came.
bool WaitForThreadMessage(UINT message, MSG* pMsg, DWORD timeoutMs);
// Forgets every thread message queued or held so far.
void DropThreadMessages();
// Pumps this thread's messages for ms milliseconds.
void PumpFor(DWORD ms);

bool FileExists(const std::string& path);
std::string ReadText(const std::string& path);
std::vector<std::string> ReadLines(const std::string& path);

// One run of kt_record, parsed from its line.
struct Record
{
	ULONGLONG startMs = 0;
	ULONGLONG endMs = 0;
	std::vector<std::string> args;      // argv[1..]
};
std::vector<Record> ReadRecords(const std::string& path);

// kt_window showing top-level windows by plan (see the helper); Start returns
// once the windows exist.
class CaptionWindows
{
public:
	bool Start(const std::string& caption, const std::string& plan, bool hidden = false, int count = 1);
	bool WaitGone(DWORD timeoutMs) { return m_process.Wait(timeoutMs); }
	void Close();
	// GetTickCount64 when the windows first existed; when their last
	// destruction began (they may leave the window list from then on); and
	// when it had ended. 0 before the moment.
	ULONGLONG ShownAt() const;
	ULONGLONG VanishStartAt() const;
	ULONGLONG GoneAt() const;

private:
	ScratchDir m_dir;
	Process m_process;
};

// kt_listener recording the end broadcast while it runs.
class EndListener
{
public:
	bool Start(DWORD lifetimeMs);
	// Lines "<tick> <wParam> <lParam>", one per broadcast received so far.
	std::vector<std::string> Received() const { return ReadLines(m_dir.File("heard.txt")); }

private:
	ScratchDir m_dir;
	Process m_process;
};

// A registry key of its own, "Software\\KestruneTest\\<unique>" under root,
// created empty and removed with everything below it.
class ScratchKey
{
public:
	explicit ScratchKey(HKEY hRoot);
	~ScratchKey();
	HKEY Root() const { return m_hRoot; }
	const std::string& Path() const { return m_path; }
	HKEY Key() const { return m_hKey; }

private:
	HKEY m_hRoot;
	std::string m_path;
	HKEY m_hKey = NULL;
};

// Deletes a key and everything below it; true when it is gone.
bool DeleteKeyTree(HKEY hRoot, const std::string& path);
bool SetValue(HKEY hKey, const char* name, DWORD type, const std::string& data);
bool SetDword(HKEY hKey, const char* name, DWORD value);
bool ValueExists(HKEY hKey, const char* name);
// The value's type and bytes; false when it does not exist.
bool GetValue(HKEY hKey, const char* name, DWORD* pType, std::string* pData);

// Sets KT_RECORD_FILE for the processes started from now on.
void SetRecordFile(const std::string& path);

}  // namespace kt
