#include "TestSupport.h"

#include <stdio.h>

#include <deque>

namespace kt {

std::string BinDir()
{
	char path[MAX_PATH];
	DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
	std::string dir(path, n);
	return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::string BinPath(const char* name)
{
	return BinDir() + name;
}

std::string ToHex(const std::string& bytes)
{
	static const char digits[] = "0123456789abcdef";
	std::string hex;
	for (unsigned char c : bytes)
	{
		hex += digits[c >> 4];
		hex += digits[c & 15];
	}
	return hex;
}

std::string FromHex(const std::string& hex)
{
	std::string bytes;
	for (size_t i = 0; i + 1 < hex.size(); i += 2)
		bytes += (char)strtoul(hex.substr(i, 2).c_str(), NULL, 16);
	return bytes;
}

std::string UniqueName(const char* stem)
{
	static LONG counter;
	char name[128];
	sprintf(name, "%s-%lu-%ld-%llu", stem, GetCurrentProcessId(), InterlockedIncrement(&counter),
		GetTickCount64());
	return name;
}

ScratchDir::ScratchDir()
{
	char temp[MAX_PATH];
	GetTempPathA(MAX_PATH, temp);
	m_path = std::string(temp) + UniqueName("kt");
	CreateDirectoryA(m_path.c_str(), NULL);
}

ScratchDir::~ScratchDir()
{
	WIN32_FIND_DATAA fd;
	HANDLE hFind = FindFirstFileA((m_path + "\\*").c_str(), &fd);
	if (hFind != INVALID_HANDLE_VALUE)
	{
		do
		{
			std::string file = m_path + "\\" + fd.cFileName;
			SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
			DeleteFileA(file.c_str());
		} while (FindNextFileA(hFind, &fd));
		FindClose(hFind);
	}
	RemoveDirectoryA(m_path.c_str());
}

Process::~Process()
{
	Kill();
}

bool Process::Start(const std::string& commandLine)
{
	Kill();
	STARTUPINFOA si = {};
	si.cb = sizeof(si);
	PROCESS_INFORMATION pi = {};
	std::string buffer = commandLine;
	if (!CreateProcessA(NULL, &buffer[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
		return false;
	CloseHandle(pi.hThread);
	m_hProcess = pi.hProcess;
	return true;
}

bool Process::Wait(DWORD timeoutMs)
{
	return m_hProcess != NULL && WaitForSingleObject(m_hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const
{
	DWORD code = STILL_ACTIVE;
	if (m_hProcess != NULL)
		GetExitCodeProcess(m_hProcess, &code);
	return code;
}

void Process::Kill()
{
	if (m_hProcess == NULL)
		return;
	if (WaitForSingleObject(m_hProcess, 0) == WAIT_TIMEOUT)
	{
		TerminateProcess(m_hProcess, 1);
		WaitForSingleObject(m_hProcess, 5000);
	}
	CloseHandle(m_hProcess);
	m_hProcess = NULL;
}

// Thread messages taken while pumping, kept for WaitForThreadMessage.
static std::deque<MSG> s_heldThreadMessages;

static void PumpPending()
{
	MSG msg;
	while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
	{
		if (msg.hwnd == NULL)
		{
			s_heldThreadMessages.push_back(msg);
			continue;
		}
		TranslateMessage(&msg);
		DispatchMessageA(&msg);
	}
}

bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
	ULONGLONG end = GetTickCount64() + timeoutMs;
	for (;;)
	{
		PumpPending();
		if (pred())
			return true;
		if (GetTickCount64() >= end)
			return false;
		MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
	}
}

bool WaitForThreadMessage(UINT message, MSG* pMsg, DWORD timeoutMs)
{
	return PumpUntil([&] {
		for (auto it = s_heldThreadMessages.begin(); it != s_heldThreadMessages.end(); ++it)
		{
			if (it->message == message)
			{
				*pMsg = *it;
				s_heldThreadMessages.erase(it);
				return true;
			}
		}
		return false;
	}, timeoutMs);
}

void DropThreadMessages()
{
	PumpPending();
	s_heldThreadMessages.clear();
}

void PumpFor(DWORD ms)
{
	PumpUntil([] { return false; }, ms);
}

bool FileExists(const std::string& path)
{
	return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadText(const std::string& path)
{
	std::string text;
	HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
		NULL, OPEN_EXISTING, 0, NULL);
	if (hFile == INVALID_HANDLE_VALUE)
		return text;
	char buffer[4096];
	DWORD got;
	while (ReadFile(hFile, buffer, sizeof(buffer), &got, NULL) && got > 0)
		text.append(buffer, got);
	CloseHandle(hFile);
	return text;
}

std::vector<std::string> ReadLines(const std::string& path)
{
	std::vector<std::string> lines;
	std::string text = ReadText(path);
	size_t start = 0;
	for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
		lines.push_back(text.substr(start, nl - start));
	return lines;
}

std::vector<Record> ReadRecords(const std::string& path)
{
	std::vector<Record> records;
	for (const std::string& line : ReadLines(path))
	{
		Record r;
		int argc = 0, used = 0;
		if (sscanf(line.c_str(), "start=%llu end=%llu argc=%d%n", &r.startMs, &r.endMs, &argc, &used) < 3)
			continue;
		size_t pos = (size_t)used;
		while (pos < line.size())
		{
			size_t next = line.find(' ', pos + 1);
			std::string word = line.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
			r.args.push_back(word == "-" ? std::string() : FromHex(word));
			pos = next == std::string::npos ? line.size() : next;
		}
		records.push_back(r);
	}
	return records;
}

bool CaptionWindows::Start(const std::string& caption, const std::string& plan, bool hidden, int count)
{
	std::string ready = m_dir.File("ready");
	char countText[16];
	sprintf(countText, "%d", count);
	std::string cmd = "\"" + BinPath("kt_window.exe") + "\" --ready \"" + ready + "\" --gone \""
		+ m_dir.File("gone") + "\" --count " + countText
		+ (hidden ? " --hidden" : "") + " --caption-hex " + ToHex(caption) + " " + plan;
	if (!m_process.Start(cmd))
		return false;
	return PumpUntil([&] { return FileExists(ready) || m_process.Wait(0); }, 20000) && FileExists(ready);
}

static ULONGLONG ReadTick(const std::string& path)
{
	return strtoull(ReadText(path).c_str(), NULL, 10);
}

ULONGLONG CaptionWindows::ShownAt() const
{
	return ReadTick(m_dir.File("ready"));
}

ULONGLONG CaptionWindows::VanishStartAt() const
{
	return ReadTick(m_dir.File("gone.before"));
}

ULONGLONG CaptionWindows::GoneAt() const
{
	return ReadTick(m_dir.File("gone"));
}

void CaptionWindows::Close()
{
	m_process.Kill();
}

bool EndListener::Start(DWORD lifetimeMs)
{
	std::string ready = m_dir.File("ready");
	char ms[16];
	sprintf(ms, "%lu", lifetimeMs);
	std::string cmd = "\"" + BinPath("kt_listener.exe") + "\" \"" + m_dir.File("heard.txt") + "\" \""
		+ ready + "\" " + ms;
	if (!m_process.Start(cmd))
		return false;
	return PumpUntil([&] { return FileExists(ready) || m_process.Wait(0); }, 20000) && FileExists(ready);
}

bool DeleteKeyTree(HKEY hRoot, const std::string& path)
{
	HKEY hKey;
	if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS)
	{
		char name[512];
		for (;;)
		{
			DWORD cch = sizeof(name);
			if (RegEnumKeyExA(hKey, 0, name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
				break;
			if (!DeleteKeyTree(hRoot, path + "\\" + name))
				break;
		}
		RegCloseKey(hKey);
	}
	RegDeleteKeyA(hRoot, path.c_str());
	HKEY hGone;
	if (RegOpenKeyExA(hRoot, path.c_str(), 0, KEY_READ, &hGone) == ERROR_SUCCESS)
	{
		RegCloseKey(hGone);
		return false;
	}
	return true;
}

ScratchKey::ScratchKey(HKEY hRoot) : m_hRoot(hRoot), m_path("Software\\KestruneTest\\" + UniqueName("key"))
{
	DeleteKeyTree(hRoot, m_path);
	RegCreateKeyExA(hRoot, m_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &m_hKey, NULL);
}

ScratchKey::~ScratchKey()
{
	if (m_hKey != NULL)
		RegCloseKey(m_hKey);
	DeleteKeyTree(m_hRoot, m_path);
	RegDeleteKeyA(m_hRoot, "Software\\KestruneTest");     // only when no other test's key is left
}

bool SetValue(HKEY hKey, const char* name, DWORD type, const std::string& data)
{
	return RegSetValueExA(hKey, name, 0, type, (const BYTE*)data.data(), (DWORD)data.size()) == ERROR_SUCCESS;
}

bool SetDword(HKEY hKey, const char* name, DWORD value)
{
	return SetValue(hKey, name, REG_DWORD, std::string((const char*)&value, sizeof(value)));
}

bool ValueExists(HKEY hKey, const char* name)
{
	return RegQueryValueExA(hKey, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
}

bool GetValue(HKEY hKey, const char* name, DWORD* pType, std::string* pData)
{
	DWORD cb = 0;
	if (RegQueryValueExA(hKey, name, NULL, pType, NULL, &cb) != ERROR_SUCCESS)
		return false;
	pData->assign(cb, '\0');
	return RegQueryValueExA(hKey, name, NULL, pType, (BYTE*)&(*pData)[0], &cb) == ERROR_SUCCESS;
}

void SetRecordFile(const std::string& path)
{
	SetEnvironmentVariableA("KT_RECORD_FILE", path.c_str());
}

}  // namespace kt
