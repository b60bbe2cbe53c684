// Test support, the registry: scratch keys in the test prefix, values written
// and read with the error code in every failure.
#pragma once

#include "Processes.h"

namespace kt
{

// A key of its own, "Software\\KestruneTest\\<unique>" under root in the view
// (KEY_WOW64_...) given, created empty and removed with all below it.
class ScratchKey
{
public:
	explicit ScratchKey(HKEY hRoot, REGSAM view = 0);
	~ScratchKey();
	const std::string& Path() const { return m_path; }
	HKEY Key() const { return m_key; }

private:
	HKEY m_hRoot;
	REGSAM m_view;
	std::string m_path;
	CRegKey m_key;
};

// The machine's RunOnce key in the view given, opened (created when missing), with the
// utility's values ("Vormelle", "Vormelle 2" ...) and the scratch ones removed before and after.
class RunOnceKey
{
public:
	explicit RunOnceKey(std::vector<std::string> scratchValues = {}, REGSAM view = 0);
	~RunOnceKey() { Clean(); }
	HKEY Key() const { return m_key; }
	// Opens the key again, creating it when it is missing.
	::testing::AssertionResult Open();
	// A value as stored, its zero byte included; "(none)" when missing.
	std::string Registered(const char* name = "Vormelle", DWORD* pType = nullptr) const;
	// The names of the utility's values, in the order the key lists them.
	std::vector<std::string> Registrations() const;
	void Clean();

private:
	std::vector<std::string> m_scratch;
	REGSAM m_view;
	CRegKey m_key;
};

::testing::AssertionResult SetValue(HKEY hKey, const char* name, DWORD type, const std::string& data);
::testing::AssertionResult SetDword(HKEY hKey, const char* name, DWORD value);
::testing::AssertionResult ValueExists(HKEY hKey, const char* name);
// Every value of the key, in the order the key lists them; and as one text.
struct Value
{
	std::string name;
	DWORD type;
	std::string data;
};
std::vector<Value> Values(HKEY hKey);
std::string DescribeValues(HKEY hKey);

} // namespace kt
