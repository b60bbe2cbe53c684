#include "afxmem.h"

static volatile LONG s_nAllocFailures = 0;

// A failure is counted before it is returned, so that the caller's next
// look at the count already sees it.
static void* Counted(void* p)
{
	if (p == NULL)
		InterlockedIncrement(&s_nAllocFailures);
	return p;
}

void* AfxAlloc(size_t nSize)
{
	return Counted(AfxHeapAlloc(nSize != 0 ? nSize : 1));
}

void* AfxRealloc(void* p, size_t nSize)
{
	return p != NULL ? Counted(AfxHeapRealloc(p, nSize != 0 ? nSize : 1)) : AfxAlloc(nSize);
}

void AfxFree(void* p)
{
	if (p != NULL)
		AfxHeapFree(p);
}

LONG AfxGetAllocFailureCount()
{
	return InterlockedCompareExchange(&s_nAllocFailures, 0, 0);
}
