#include "Registry.h"

#include "waitproc/WaitProcThread.h"

static ::testing::AssertionResult Check(LONG error, const char* what, const char* name)
{
	if (error == ERROR_SUCCESS)
		return ::testing::AssertionSuccess() << what << "(\"" << name << "\") succeeded";
	return ::testing::AssertionFailure() << what << "(\"" << name << "\") failed, error " << error;
}

kt::ScratchKey::ScratchKey(HKEY hRoot, REGSAM view)
	: m_hRoot(hRoot), m_view(view), m_path("Software\\KestruneTest\\" + UniqueName("key"))
{
	EXPECT_TRUE(
		Check(m_key.Create(hRoot, m_path.c_str(), NULL, KEY_ALL_ACCESS | view), "RegCreateKeyExA", m_path.c_str()));
}

kt::ScratchKey::~ScratchKey()
{
	m_key.Close();
	CRegKey parent;
	if (parent.Open(m_hRoot, "Software\\KestruneTest", KEY_ALL_ACCESS | m_view) == ERROR_SUCCESS)
		RegDeleteTreeA(parent, m_path.substr(m_path.rfind('\\') + 1).c_str());
	RegDeleteKeyExA(m_hRoot, "Software\\KestruneTest", m_view, 0); // only when no other test's key is left
}

kt::RunOnceKey::RunOnceKey(std::vector<std::string> scratchValues, REGSAM view)
	: m_scratch(std::move(scratchValues)), m_view(view)
{
	EXPECT_TRUE(Open());
	Clean();
}

::testing::AssertionResult kt::RunOnceKey::Open()
{
	return Check(m_key.Create(HKEY_LOCAL_MACHINE, WAITPROC_RUNONCE_KEY, NULL, KEY_ALL_ACCESS | m_view),
		"RegCreateKeyExA", WAITPROC_RUNONCE_KEY);
}

std::vector<std::string> kt::RunOnceKey::Registrations() const
{
	std::vector<std::string> names;
	for (const Value& v : Values(m_key))
		if (v.name.rfind("Vormelle", 0) == 0)
			names.push_back(v.name);
	return names;
}

void kt::RunOnceKey::Clean()
{
	for (const std::string& name : Registrations())
		m_key.DeleteValue(name.c_str());
	for (const std::string& name : m_scratch)
		m_key.DeleteValue(name.c_str());
}

std::string kt::RunOnceKey::Registered(const char* name, DWORD* pType) const
{
	Value found = { "", REG_NONE, "(none)" };
	for (const Value& v : Values(m_key))
		found = v.name == name ? v : found;
	if (pType != nullptr)
		*pType = found.type;
	return found.data;
}

::testing::AssertionResult kt::SetValue(HKEY hKey, const char* name, DWORD type, const std::string& data)
{
	return Check(
		RegSetValueExA(hKey, name, 0, type, (const BYTE*)data.data(), (DWORD)data.size()), "RegSetValueExA", name);
}

::testing::AssertionResult kt::SetDword(HKEY hKey, const char* name, DWORD value)
{
	return SetValue(hKey, name, REG_DWORD, std::string((const char*)&value, sizeof(value)));
}

::testing::AssertionResult kt::ValueExists(HKEY hKey, const char* name)
{
	return Check(RegQueryValueExA(hKey, name, NULL, NULL, NULL, NULL), "RegQueryValueExA", name);
}

std::vector<kt::Value> kt::Values(HKEY hKey)
{
	std::vector<Value> values;
	std::vector<char> name(16384), data(65536);
	for (DWORD i = 0;; ++i)
	{
		DWORD cchName = (DWORD)name.size(), cbData = (DWORD)data.size(), type = 0;
		if (RegEnumValueA(hKey, i, name.data(), &cchName, NULL, &type, (BYTE*)data.data(), &cbData) != ERROR_SUCCESS)
			break;
		values.push_back({ std::string(name.data(), cchName), type, std::string(data.data(), cbData) });
	}
	return values;
}

std::string kt::DescribeValues(HKEY hKey)
{
	std::string all;
	for (const Value& v : Values(hKey))
		all += v.name + "=" + std::to_string(v.type) + ":" + ToHex(v.data) + "; ";
	return all;
}
