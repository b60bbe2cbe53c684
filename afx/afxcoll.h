// Growable arrays: CObArray of object pointers (not owned) and CStringArray.
#pragma once

#include "afxobj.h"
#include "afxstr.h"

class CObArray
{
public:
	CObArray();
	~CObArray();

	// Attributes
	int GetSize() const { return m_nSize; }
	int GetCount() const { return m_nSize; }
	CObject* GetAt(int nIndex) const { return m_pData[nIndex]; }
	CObject* operator[](int nIndex) const { return m_pData[nIndex]; }

	// Operations
	// Appends newElement; its index, or -1 when memory is exhausted.
	int Add(CObject* newElement);
	// Removes nCount elements at nIndex; later elements move down.
	void RemoveAt(int nIndex, int nCount = 1);
	void RemoveAll();

private:
	CObArray(const CObArray&);
	void operator=(const CObArray&);

	CObject** m_pData;
	int m_nSize;
	int m_nMaxSize;
};

class CStringArray
{
public:
	CStringArray();
	~CStringArray();

	// Attributes
	int GetSize() const { return m_nSize; }
	int GetCount() const { return m_nSize; }
	const CString& GetAt(int nIndex) const { return m_pData[nIndex]; }
	const CString& operator[](int nIndex) const { return m_pData[nIndex]; }

	// Operations
	// Appends a copy of newElement; its index, or -1 when memory is exhausted.
	int Add(LPCSTR newElement);
	void RemoveAll();

private:
	CStringArray(const CStringArray&);
	void operator=(const CStringArray&);

	CString* m_pData;
	int m_nSize;
	int m_nMaxSize;
};
