// Allocation for the product: plain heap calls that return NULL when memory is
// exhausted. The library's throwing operator new would bring in the whole
// exception machinery; the product is built with -fcheck-new so that a NULL
// result skips the constructor.
#include <windows.h>

#include <new>

void* operator new(size_t nSize)
{
	return HeapAlloc(GetProcessHeap(), 0, nSize != 0 ? nSize : 1);
}

void* operator new[](size_t nSize)
{
	return operator new(nSize);
}

void* operator new(size_t nSize, const std::nothrow_t&) noexcept
{
	return operator new(nSize);
}

void* operator new[](size_t nSize, const std::nothrow_t&) noexcept
{
	return operator new(nSize);
}

void operator delete(void* p) noexcept
{
	if (p != NULL)
		HeapFree(GetProcessHeap(), 0, p);
}

void operator delete[](void* p) noexcept
{
	operator delete(p);
}

void operator delete(void* p, size_t) noexcept
{
	operator delete(p);
}

void operator delete[](void* p, size_t) noexcept
{
	operator delete(p);
}
