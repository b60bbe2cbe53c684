// Test support, injected faults: the framework's heap failing on demand, and
// a system call of this test program's own replaced by one that fails.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kt
{

// The text that follows every framework block in a test program, to show a
// read past a block's end.
#define KT_PAST_END "<KT-PAST-THE-END>"

// The nth framework allocation from now fails (1: the next one), and that one
// only; 0 fails none. Also restarts the count of AllocationsMade.
void FailAllocation(long nth);
// Framework allocations made since the last FailAllocation.
long AllocationsMade();

// Replaces the address that this program's import table holds for function of
// module, until destroyed: the framework's code linked into the program then
// calls the replacement. IsApplied() is false when the program imports no
// such function, or replacement is nullptr (which patches nothing).
class ImportPatch
{
public:
	// *pOriginal (when given) receives the address replaced, for the
	// replacement to call on.
	ImportPatch(const char* module, const char* function, void* replacement, void** pOriginal = nullptr);
	~ImportPatch();
	bool IsApplied() const { return m_slot != nullptr; }

private:
	ImportPatch(const ImportPatch&) = delete;
	void operator=(const ImportPatch&) = delete;

	void** m_slot = nullptr;
	void* m_original = nullptr;
};

// The framework's debug lines (OutputDebugStringW) heard in this program
// while the capture lives, instead of going to a debugger: as written, and
// in this program's code page.
class DebugCapture : public ImportPatch
{
public:
	DebugCapture();
	const std::vector<std::wstring>& Texts() const;
	std::vector<std::string> Lines() const;
	void Clear();
};

} // namespace kt
