// The framework's heap: every allocation of the framework and of the code
// written against it goes through here. None throws: exhausted memory gives NULL.
#pragma once

#include <windows.h>

void* AfxAlloc(size_t nSize);
// Grows or shrinks p (NULL: a new block). NULL on failure; p is then kept.
void* AfxRealloc(void* p, size_t nSize);
void AfxFree(void* p); // NULL is allowed

// How many allocations have failed in this process. A CString step that finds
// no memory leaves its string short or empty and says nothing, so an operation
// of many steps compares this count before and after, and fails if it changed.
LONG AfxGetAllocFailureCount();

// The underlying heap, supplied by each executable: the product's plain heap
// calls, or a test build's, which can fail an allocation on demand.
void* AfxHeapAlloc(size_t nSize);
void* AfxHeapRealloc(void* p, size_t nSize);
void AfxHeapFree(void* p);

// Notes the failure count when made: HasFailed() tells whether any allocation
// has failed since.
class CAllocFailureWatch
{
public:
	CAllocFailureWatch() : m_nFailures(AfxGetAllocFailureCount()) {}
	BOOL HasFailed() const { return AfxGetAllocFailureCount() != m_nFailures; }

private:
	LONG m_nFailures;
};
