// Guards for kernel handles, registry keys, libraries and started processes.
// Each owns what it holds and releases it in its destructor; none can be
// copied. Close() is safe to call twice, and keeps the handle when releasing
// it fails, so that a later attempt can still release it.
#pragma once

#include <windows.h>

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

class CHandle
{
public:
	CHandle() : m_h(NULL) {}
	explicit CHandle(HANDLE h) : m_h(h) {}
	~CHandle() { Close(); }

	// Attributes
	operator HANDLE() const { return m_h; }
	BOOL IsCreated() const { return m_h != NULL; }

	// Operations
	void Attach(HANDLE h)
	{
		Close();
		m_h = h;
	}
	HANDLE Detach()
	{
		HANDLE h = m_h;
		m_h = NULL;
		return h;
	}
	// An output slot for an API that hands out a handle; closes the old one first.
	HANDLE* Receive()
	{
		Close();
		return &m_h;
	}
	BOOL Close() { return Close(m_h); }

	// The rule for every owned handle field: it becomes NULL only once its
	// handle has been closed. TRUE when the field is NULL afterwards.
	static BOOL Close(HANDLE& hField);

private:
	CHandle(const CHandle&);
	void operator=(const CHandle&);

	HANDLE m_h;
};

// A registry key. Every operation returns the Win32 error code.
class CRegKey
{
public:
	CRegKey() : m_hKey(NULL) {}
	~CRegKey() { Close(); }

	// Attributes
	operator HKEY() const { return m_hKey; }
	// The access flag that opens the registry view of the other bitness:
	// KEY_WOW64_64KEY for a 32-bit program on 64-bit Windows, KEY_WOW64_32KEY
	// for a 64-bit one; 0 on 32-bit Windows, which has one view only (and
	// ignores the flags: a key opened with them is the same key).
	static REGSAM GetOtherView();

	// Operations
	LONG Open(HKEY hParent, LPCSTR lpszSubkey, REGSAM samDesired = KEY_ALL_ACCESS);
	// Opens the key, or creates it (non-volatile, no class, default security).
	// *pdwDisposition, when given, tells which: REG_CREATED_NEW_KEY or
	// REG_OPENED_EXISTING_KEY.
	LONG Create(HKEY hParent, LPCSTR lpszSubkey, DWORD* pdwDisposition = NULL, REGSAM samDesired = KEY_ALL_ACCESS);
	// RegQueryValueExA: pData may be NULL to learn the type and size.
	LONG QueryValue(LPCSTR lpszName, DWORD* pdwType, void* pData, DWORD* pcbData) const;
	LONG SetValue(LPCSTR lpszName, DWORD dwType, const void* pData, DWORD cbData);
	// A REG_SZ value: the text and its terminating zero.
	LONG SetValue(LPCSTR lpszName, LPCSTR lpszText);
	LONG DeleteValue(LPCSTR lpszName);
	LONG Close();

private:
	CRegKey(const CRegKey&);
	void operator=(const CRegKey&);

	HKEY m_hKey;
};

// A loaded library, freed on destruction.
class CLibrary
{
public:
	CLibrary() : m_hModule(NULL) {}
	~CLibrary() { Free(); }

	// Operations
	BOOL Load(LPCSTR lpszFileName); // frees the library held before
	// The exported function, or NULL when it or the library is missing.
	FARPROC GetProc(LPCSTR lpszProcName) const;
	BOOL Free();

private:
	CLibrary(const CLibrary&);
	void operator=(const CLibrary&);

	HMODULE m_hModule;
};

#define CPROCESS_START_TRIES 5

// A process started from a command line, with no handles inherited. The
// thread handle is closed at once; the process handle is kept until Close,
// Detach or destruction. The process itself is never ended by this object.
class CProcess
{
public:
	CProcess() : m_dwProcessId(0) {}

	// Attributes
	HANDLE GetHandle() const { return m_hProcess; }
	// The id of the process that Start started; 0 before. (GetProcessId is
	// newer than Windows XP.)
	DWORD GetProcessId() const { return m_dwProcessId; }

	// Operations
	// Starts lpszCommandLine (program and arguments, as CreateProcessA reads
	// them); the Win32 error code, ERROR_SUCCESS when it runs. A process held
	// before is closed first. A start refused with ERROR_INTERNAL_ERROR is
	// made again, CPROCESS_START_TRIES times in all.
	DWORD Start(LPCSTR lpszCommandLine);
	// Starts lpszFile with lpszParameters (NULL: none) as the shell opens it on
	// a double-click, asking for consent where the program needs elevation
	// (which Start is refused with ERROR_ELEVATION_REQUIRED); the Win32 error
	// code, ERROR_SUCCESS when it was opened. The process handle is then NULL
	// when the shell handed the file to a process that was already running.
	DWORD StartThroughShell(LPCSTR lpszFile, LPCSTR lpszParameters);
	HANDLE Detach() { return m_hProcess.Detach(); }
	BOOL Close() { return m_hProcess.Close(); }

private:
	CHandle m_hProcess;
	DWORD m_dwProcessId;
};
