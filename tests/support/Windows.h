// Test support, windows and messages: pumping this thread's queue, top-level
// windows of another process, which hear the end broadcast.
#pragma once

#include <functional>

#include "Processes.h"

namespace kt
{

// Pumps this thread's messages and polls pred about every 20 ms, for at most
// timeoutMs. Returns pred's last answer.
bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);
// Takes the next thread message numbered message from this thread's queue,
// pumping the others, for at most timeoutMs. False when none came.
bool WaitForThreadMessage(UINT message, MSG* pMsg, DWORD timeoutMs);
// Forgets every thread message queued or held so far.
void DropThreadMessages();
void PumpFor(DWORD ms);

// The top-level windows whose caption begins with prefix, in the order of
// the window list (top first), by a walk of this test program's own.
std::vector<HWND> TopLevelWindows(const std::string& prefix);

// kt_window's windows for ms milliseconds (held: from when a Kestrune.exe that
// this program started, or one it started, waits for input; flagKey: --flag).
// Start returns once they exist. No text holds a quote or ends in a backslash.
class CaptionWindows
{
public:
	::testing::AssertionResult Start(const std::string& caption, DWORD ms, bool hidden = false, int count = 1,
		const std::string& flagKey = "", bool held = false);
	bool WaitGone(DWORD timeoutMs) { return m_process.Wait(timeoutMs); }
	void Close() { m_process.Kill(); }
	// GetTickCount64 when the windows existed, and when their destruction began; 0 before.
	ULONGLONG ShownAt() const { return Tick("ready"); }
	ULONGLONG VanishStartAt() const { return Tick("gone"); }
	// Lines "<tick> <wParam> <lParam>", one per end broadcast heard so far.
	std::vector<std::string> Heard() const { return ReadLines(m_dir.File("heard")); }

private:
	ULONGLONG Tick(const char* name) const { return strtoull(ReadText(m_dir.File(name)).c_str(), NULL, 10); }

	ScratchDir m_dir;
	Process m_process;
};

} // namespace kt
