// The product's heap: plain heap calls that return NULL when memory is
// exhausted, under the framework's allocator and operator new. The library's
// throwing operator new would bring in the whole exception machinery; the
// product is built with -fcheck-new so that a NULL result skips the constructor.
#include <new>

#include "afxmem.h"

void* AfxHeapAlloc(size_t nSize)
{
	return HeapAlloc(GetProcessHeap(), 0, nSize);
}

void* AfxHeapRealloc(void* p, size_t nSize)
{
	return HeapReAlloc(GetProcessHeap(), 0, p, nSize);
}

void AfxHeapFree(void* p)
{
	HeapFree(GetProcessHeap(), 0, p);
}

void* operator new(size_t nSize)
{
	return AfxAlloc(nSize);
}

void* operator new[](size_t nSize)
{
	return AfxAlloc(nSize);
}

void* operator new(size_t nSize, const std::nothrow_t&) noexcept
{
	return AfxAlloc(nSize);
}

void* operator new[](size_t nSize, const std::nothrow_t&) noexcept
{
	return AfxAlloc(nSize);
}

void operator delete(void* p) noexcept
{
	AfxFree(p);
}

void operator delete[](void* p) noexcept
{
	AfxFree(p);
}

void operator delete(void* p, size_t) noexcept
{
	AfxFree(p);
}

void operator delete[](void* p, size_t) noexcept
{
	AfxFree(p);
}
