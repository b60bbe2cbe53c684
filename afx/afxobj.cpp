#include "afxobj.h"

const CRuntimeClass CObject::classCObject = { "CObject", NULL };

CRuntimeClass* CObject::GetRuntimeClass() const
{
	return RUNTIME_CLASS(CObject);
}

CObject* CRuntimeClass::CreateObject() const
{
	return m_pfnCreateObject != NULL ? m_pfnCreateObject() : NULL;
}

const AFX_MSGMAP_ENTRY CCmdTarget::_messageEntries[] = { { 0, NULL } };
const AFX_MSGMAP CCmdTarget::messageMap = { NULL, &CCmdTarget::_messageEntries[0] };

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
	return &CCmdTarget::messageMap;
}

BOOL CCmdTarget::DispatchThreadMessage(UINT nMessage, WPARAM wParam, LPARAM lParam)
{
	for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL; pMap = pMap->pBaseMap)
	{
		for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfn != NULL; ++pEntry)
		{
			if (pEntry->nMessage == nMessage)
			{
				(this->*pEntry->pfn)(wParam, lParam);
				return TRUE;
			}
		}
	}
	return FALSE;
}
