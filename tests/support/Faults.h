// Test support, injected faults: the framework's heap failing on demand, and
// a system call of this test program's own replaced by one that fails.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace kt
{

// The text after every framework block in a test program, to show a read past its end.
#define KT_PAST_END "<KT-PAST-THE-END>"

// The nth framework allocation from now fails (1: the next one), and that one
// only; 0 fails none. Also restarts the count of AllocationsMade.
void FailAllocation(long nth);
long AllocationsMade();

// Replaces this program's import-table address of function of module until
// destroyed, so that the framework's code linked in calls replacement. IsApplied()
// is false when no such function is imported, or replacement is nullptr.
class ImportPatch
{
public:
	// *pOriginal (when given) gets the address replaced, for the replacement to call on.
	ImportPatch(const char* module, const char* function, void* replacement, void** pOriginal = nullptr);
	~ImportPatch();
	bool IsApplied() const { return m_slot != nullptr; }

private:
	ImportPatch(const ImportPatch&) = delete;
	void operator=(const ImportPatch&) = delete;

	void** m_slot = nullptr;
	void* m_original = nullptr;
};

// A stand-in, while it lives, for an imported function of type F: before
// (when set) sees each call's arguments first and may answer it instead, by
// returning true with *pResult set; otherwise Original() runs, and after
// (when set) may change its result. The hooks outlive the patch at both
// ends. One StandIn of a type (not of a function) lives at a time.
template <typename F> class StandIn;
template <typename R, typename... A> class StandIn<R(WINAPI*)(A...)>
{
public:
	using Function = R(WINAPI*)(A...);
	using Before = std::function<bool(R* pResult, A...)>;
	using After = std::function<void(R& result, A...)>;
	StandIn(const char* module, const char* function, Before before, After after = nullptr)
	{
		s_before = std::move(before), s_after = std::move(after);
		m_patch.emplace(module, function, (void*)&Call, &s_original);
	}
	~StandIn() { m_patch.reset(), s_before = nullptr, s_after = nullptr; }
	bool IsApplied() const { return m_patch->IsApplied(); }
	static Function Original() { return (Function)s_original; }

private:
	std::optional<ImportPatch> m_patch;

	static R WINAPI Call(A... args)
	{
		R result{};
		if (s_before && s_before(&result, args...))
			return result;
		result = Original()(args...);
		if (s_after)
			s_after(result, args...);
		return result;
	}
	static_assert(std::is_same_v<decltype(&Call), Function>, "the stand-in's calling convention");
	static inline void* s_original;
	static inline Before s_before;
	static inline After s_after;
};

// A StandIn named name of function, imported from module, for the rest of
// the scope; the test ends at once when it is not applied.
#define KT_STAND_IN(name, module, function, ...) \
	kt::StandIn<decltype(&function)> name(module, #function, __VA_ARGS__); \
	ASSERT_TRUE(name.IsApplied()) << "not patched: " #function

// The framework's debug lines (OutputDebugStringW) while the capture lives,
// kept instead of sent to a debugger: as written, and in this code page.
class DebugCapture : public ImportPatch
{
public:
	DebugCapture() : ImportPatch("KERNEL32.dll", "OutputDebugStringW", (void*)&Capture) { Clear(); }
	const std::vector<std::wstring>& Texts() const { return s_texts; }
	std::vector<std::string> Lines() const;
	void Clear() { s_texts.clear(); }

private:
	static void WINAPI Capture(LPCWSTR text) { s_texts.push_back(text); }
	static inline std::vector<std::wstring> s_texts;
};

} // namespace kt
