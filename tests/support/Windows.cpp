#include "Windows.h"

#include <algorithm>
#include <deque>

// Thread messages taken while pumping, kept for WaitForThreadMessage.
static std::deque<MSG> s_held;

bool kt::PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs)
{
	for (ULONGLONG end = GetTickCount64() + timeoutMs;; MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT))
	{
		for (MSG msg; PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE);)
			if (msg.hwnd == NULL)
				s_held.push_back(msg);
			else
				DispatchMessageA(&msg); // untranslated: nothing types in a test
		if (const bool done = pred(); done || GetTickCount64() >= end)
			return done;
	}
}

bool kt::WaitForThreadMessage(UINT message, MSG* pMsg, DWORD timeoutMs)
{
	const auto first = [&]
	{ return std::find_if(s_held.begin(), s_held.end(), [&](const MSG& m) { return m.message == message; }); };
	if (!PumpUntil([&] { return first() != s_held.end(); }, timeoutMs))
		return false;
	*pMsg = *first();
	s_held.erase(first());
	return true;
}

void kt::DropThreadMessages()
{
	PumpUntil([] { return true; }, 0);
	s_held.clear();
}

void kt::PumpFor(DWORD ms)
{
	PumpUntil([] { return false; }, ms);
}

std::vector<HWND> kt::TopLevelWindows(const std::string& prefix)
{
	std::vector<HWND> found;
	char caption[256];
	for (HWND hWnd = GetTopWindow(NULL); hWnd != NULL; hWnd = GetWindow(hWnd, GW_HWNDNEXT))
		if (GetWindowTextA(hWnd, caption, sizeof(caption)) > 0 && std::string(caption).rfind(prefix, 0) == 0)
			found.push_back(hWnd);
	return found;
}

::testing::AssertionResult kt::CaptionWindows::Start(
	const std::string& caption, DWORD ms, bool hidden, int count, const std::string& flagKey, bool held)
{
	const std::string command = "\"" + BinPath("kt_window.exe") + "\" --files \"" + m_dir.Path() + "\" --count "
		+ std::to_string(count) + (hidden ? " --hidden" : "") + (flagKey.empty() ? "" : " --flag \"" + flagKey + "\"")
		+ (held ? " --held " + std::to_string(GetCurrentProcessId()) : "") + " --caption \"" + caption + "\" "
		+ std::to_string(ms);
	if (::testing::AssertionResult started = m_process.Start(command); !started)
		return started;
	if (!PumpUntil([&] { return ShownAt() != 0 || m_process.Wait(0); }, 20000) || ShownAt() == 0)
		return ::testing::AssertionFailure()
			<< "not ready within 20 s (exit code " << m_process.ExitCode() << "): " << command;
	return ::testing::AssertionSuccess();
}
