#include "afxcoll.h"

#include <string.h>

#include "afxmem.h"

// Capacity for one more element: grows by half, at least by four.
static int GrowTo(int nMaxSize)
{
	return nMaxSize + (nMaxSize / 2 > 4 ? nMaxSize / 2 : 4);
}

CObArray::CObArray() : m_pData(NULL), m_nSize(0), m_nMaxSize(0)
{
}

CObArray::~CObArray()
{
	AfxFree(m_pData);
}

int CObArray::Add(CObject* newElement)
{
	if (m_nSize == m_nMaxSize)
	{
		int nNewMax = GrowTo(m_nMaxSize);
		CObject** pNew = (CObject**)AfxRealloc(m_pData, sizeof(CObject*) * (size_t)nNewMax);
		if (pNew == NULL)
			return -1;
		m_pData = pNew;
		m_nMaxSize = nNewMax;
	}
	m_pData[m_nSize] = newElement;
	return m_nSize++;
}

void CObArray::RemoveAt(int nIndex, int nCount)
{
	if (nIndex < 0 || nCount <= 0 || nIndex >= m_nSize)
		return;
	if (nCount > m_nSize - nIndex)
		nCount = m_nSize - nIndex;
	memmove(m_pData + nIndex, m_pData + nIndex + nCount, sizeof(CObject*) * (size_t)(m_nSize - nIndex - nCount));
	m_nSize -= nCount;
}

void CObArray::RemoveAll()
{
	AfxFree(m_pData);
	m_pData = NULL;
	m_nSize = m_nMaxSize = 0;
}

CStringArray::CStringArray() : m_pData(NULL), m_nSize(0), m_nMaxSize(0)
{
}

CStringArray::~CStringArray()
{
	RemoveAll();
}

int CStringArray::Add(LPCSTR newElement)
{
	if (m_nSize == m_nMaxSize)
	{
		int nNewMax = GrowTo(m_nMaxSize);
		CString* pNew = new CString[nNewMax];
		if (pNew == NULL)
			return -1;
		for (int i = 0; i < m_nSize; ++i)
			pNew[i] = m_pData[i];
		delete[] m_pData;
		m_pData = pNew;
		m_nMaxSize = nNewMax;
	}
	m_pData[m_nSize] = newElement;
	return m_nSize++;
}

void CStringArray::RemoveAll()
{
	delete[] m_pData;
	m_pData = NULL;
	m_nSize = m_nMaxSize = 0;
}
