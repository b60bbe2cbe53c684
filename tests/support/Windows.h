// Test support, windows and messages: pumping this thread's queue, top-level
// windows of another process, and a listener for the end broadcast.
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
// Pumps this thread's messages for ms milliseconds.
void PumpFor(DWORD ms);

// kt_window showing top-level windows for ms milliseconds; Start returns
// once the windows exist. With flagKey, the helper sets the reboot flag
// RebootPending under HKEY_CURRENT_USER\flagKey right before the windows go.
class CaptionWindows
{
public:
	::testing::AssertionResult Start(const std::string& caption, const std::string& ms, bool hidden = false,
		int count = 1, const std::string& flagKey = "");
	bool WaitGone(DWORD timeoutMs) { return m_process.Wait(timeoutMs); }
	void Close() { m_process.Kill(); }
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

// A hidden window of kt_window recording the end broadcast while it runs.
class EndListener
{
public:
	::testing::AssertionResult Start(DWORD lifetimeMs);
	// Lines "<tick> <wParam> <lParam>", one per broadcast received so far.
	std::vector<std::string> Received() const { return ReadLines(m_dir.File("heard.txt")); }

private:
	ScratchDir m_dir;
	Process m_process;
};

} // namespace kt
