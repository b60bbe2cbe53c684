#include "Faults.h"

#include <stdlib.h>
#include <string.h>

#include "Processes.h"
#include "afx/afxmem.h"

static volatile LONG s_countdown = 0; // allocations to admit before the failing one, plus one
static volatile LONG s_made = 0;

static bool Admit()
{
	InterlockedIncrement(&s_made);
	return InterlockedCompareExchange(&s_countdown, 0, 0) <= 0 || InterlockedDecrement(&s_countdown) != 0;
}

// The slot of this program's import table that holds function of module.
static void** FindImportSlot(const char* module, const char* function)
{
	BYTE* base = (BYTE*)GetModuleHandleA(NULL);
	IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
	const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
	for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + dir.VirtualAddress); dir.Size && d->Name; ++d)
	{
		if (lstrcmpiA((const char*)(base + d->Name), module) != 0 || d->OriginalFirstThunk == 0)
			continue;
		IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + d->OriginalFirstThunk);
		IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
		for (; names->u1.AddressOfData; ++names, ++slots)
			if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)
				&& lstrcmpA((const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, function)
					== 0)
				return (void**)&slots->u1.Function;
	}
	return nullptr;
}

static void Write(void** slot, void* value)
{
	DWORD old;
	VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
	*slot = value;
	VirtualProtect(slot, sizeof(void*), old, &old);
}

const char s_pastEnd[] = KT_PAST_END;

void* AfxHeapAlloc(size_t nSize)
{
	return AfxHeapRealloc(NULL, nSize);
}

void* AfxHeapRealloc(void* p, size_t nSize)
{
	p = Admit() ? realloc(p, nSize + sizeof(s_pastEnd)) : NULL;
	if (p != NULL)
		memcpy((char*)p + nSize, s_pastEnd, sizeof(s_pastEnd));
	return p;
}

void AfxHeapFree(void* p)
{
	free(p);
}

void kt::FailAllocation(long nth)
{
	InterlockedExchange(&s_made, 0);
	InterlockedExchange(&s_countdown, nth);
}

long kt::AllocationsMade()
{
	return InterlockedCompareExchange(&s_made, 0, 0);
}

kt::ImportPatch::ImportPatch(const char* module, const char* function, void* replacement, void** pOriginal)
	: m_slot(replacement != nullptr ? FindImportSlot(module, function) : nullptr),
	  m_original(m_slot != nullptr ? *m_slot : nullptr)
{
	if (pOriginal != nullptr) // before the first call can come through the slot
		*pOriginal = m_original;
	if (m_slot != nullptr)
		Write(m_slot, replacement);
}

kt::ImportPatch::~ImportPatch()
{
	if (m_slot != nullptr)
		Write(m_slot, m_original);
}

std::vector<std::string> kt::DebugCapture::Lines() const
{
	std::vector<std::string> lines;
	for (const std::wstring& text : s_texts)
		lines.push_back(kt::Narrow(text));
	return lines;
}

// A crash ends the test program at once, as a failure, instead of waiting for
// a debugger that Wine would start for it.
static LONG WINAPI EndOnCrash(EXCEPTION_POINTERS* pInfo)
{
	fprintf(stderr, "kt: crashed, exception %08lx\n", pInfo->ExceptionRecord->ExceptionCode);
	fflush(stderr);
	TerminateProcess(GetCurrentProcess(), 3);
	return EXCEPTION_EXECUTE_HANDLER;
}
static const LPTOP_LEVEL_EXCEPTION_FILTER s_previousFilter = SetUnhandledExceptionFilter(&EndOnCrash);
