// Test support, the registry: scratch keys in the test prefix, values written
// and read with the error code in every failure.
#pragma once

#include "Processes.h"

namespace kt
{

// A registry key of its own, "Software\\KestruneTest\\<unique>" under root,
// created empty and removed with everything below it.
class ScratchKey
{
public:
	explicit ScratchKey(HKEY hRoot);
	~ScratchKey();
	const std::string& Path() const { return m_path; }
	HKEY Key() const { return m_key; }

private:
	HKEY m_hRoot;
	std::string m_path;
	CRegKey m_key;
};

// The machine's RunOnce key, opened (created when missing), with the
// utility's value and the listed scratch values removed before and after.
class RunOnceKey
{
public:
	explicit RunOnceKey(std::vector<std::string> scratchValues = {});
	~RunOnceKey() { Clean(); }
	HKEY Key() const { return m_key; }
	// Opens the key again, creating it when it is missing.
	::testing::AssertionResult Open();
	// The utility's value as stored, its zero byte included; "(none)" when missing.
	std::string Registered(DWORD* pType = nullptr) const;
	void Clean();

private:
	std::vector<std::string> m_scratch;
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
