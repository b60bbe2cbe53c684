// CObject with creation by runtime class, CCmdTarget with message maps that
// dispatch posted thread messages by number, and the CWnd that names a window.
#pragma once

#include "afxmem.h"

class CObject;

struct CRuntimeClass
{
	LPCSTR m_lpszClassName;
	CObject* (*m_pfnCreateObject)(); // NULL for classes that cannot be created

	// A new object made by its default constructor; NULL when the class cannot
	// be created or memory is exhausted.
	CObject* CreateObject() const;
};

class CObject
{
public:
	virtual CRuntimeClass* GetRuntimeClass() const;
	virtual ~CObject() {}

	// Objects come from the framework's heap in every build: NULL when
	// memory is exhausted, never an exception.
	static void* operator new(size_t nSize) noexcept { return AfxAlloc(nSize); }
	static void operator delete(void* p) noexcept { AfxFree(p); }

	static const CRuntimeClass classCObject;

protected:
	CObject() {}

private:
	CObject(const CObject&);
	void operator=(const CObject&);
};

// clang-format off: the macros keep their one-line bodies.
#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))

#define DECLARE_DYNCREATE(class_name) \
public: \
	static const CRuntimeClass class##class_name; \
	static CObject* CreateObject(); \
	virtual CRuntimeClass* GetRuntimeClass() const;

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
	CObject* class_name::CreateObject() \
	{ \
		return new class_name; \
	} \
	const CRuntimeClass class_name::class##class_name = { #class_name, &class_name::CreateObject }; \
	CRuntimeClass* class_name::GetRuntimeClass() const \
	{ \
		return RUNTIME_CLASS(class_name); \
	}

// Message maps: tables of (message number, handler) pairs, each chained to the
// map of its base class.

class CCmdTarget;
typedef void (CCmdTarget::*AFX_PMSG)(WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
	UINT nMessage;
	AFX_PMSG pfn; // NULL ends the table
};

struct AFX_MSGMAP
{
	const AFX_MSGMAP* pBaseMap;
	const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
	static const AFX_MSGMAP_ENTRY _messageEntries[]; \
\
public: \
	static const AFX_MSGMAP messageMap; \
	virtual const AFX_MSGMAP* GetMessageMap() const;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
	const AFX_MSGMAP* theClass::GetMessageMap() const \
	{ \
		return &theClass::messageMap; \
	} \
	const AFX_MSGMAP theClass::messageMap = { &baseClass::messageMap, &theClass::_messageEntries[0] }; \
	const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {

// memberFxn is qualified with its class: ON_THREAD_MESSAGE(WM_X, CMyThread::OnX).
#define ON_THREAD_MESSAGE(message, memberFxn) { message, static_cast<AFX_PMSG>(&memberFxn) },

#define END_MESSAGE_MAP() \
	{ \
		0, NULL \
	} \
	} \
	;

// clang-format on

class CCmdTarget : public CObject
{
public:
	// Hands a thread message to the first handler for its number in this
	// object's map or a base class's map. FALSE when no map has an entry.
	BOOL DispatchThreadMessage(UINT nMessage, WPARAM wParam, LPARAM lParam);

	DECLARE_MESSAGE_MAP()
};

class CWnd : public CCmdTarget
{
public:
	CWnd() : m_hWnd(NULL) {}
	HWND m_hWnd; // not owned
};
