// REGISTRY: key paths, values of every size, enumeration, the autostart entry.
#include <gtest/gtest.h>
#include "brisel/halvo.h"
#include "brisel/osys.h"
#include "brisel/registry.h"
#include "brisel/strings.h"
#include "scratchdir.h"
#include <string>

namespace {

const char TestBase[] = "Software\\Halvo\\BriselRegistryTest";
const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class Registry : public testing::Test
{
protected:
    void SetUp() override
    {
        HalvoResetState();
        LogitSwitch("/NOASSERT");
    }
    void TearDown() override
    {
        HalvoResetState();
        DeleteTree(HKEY_CURRENT_USER, TestBase);
    }
    static void DeleteTree(HKEY root, const char* path)
    {
        HKEY key;
        if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
        char name[512];
        DWORD len;
        while (len = sizeof name, RegEnumKeyExA(key, 0, name, &len, NULL, NULL, NULL, NULL) == ERROR_SUCCESS)
            DeleteTree(key, name);
        RegCloseKey(key);
        RegDeleteKeyA(root, path);
    }
    static bool KeyExists(HKEY root, const char* path)
    {
        HKEY key;
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    SCRATCHDIR dir;
};

} // namespace

TEST_F(Registry, FernwallLivesUnderTessaly)
{
    {
        REGISTRY reg("Fernwall Pro", "software\\halvo", 0);
        ASSERT_NE((HKEY)NULL, reg.Key());
        EXPECT_TRUE(reg.Write("Probe", "1"));
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\Fernwall Pro"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Halvo\\Fernwall Pro"));
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Tessaly\\Fernwall Pro");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Tessaly");      // only when nothing else is in it

    {
        REGISTRY reg("FERNWALL", "Software\\Halvo\\", 1);       // trailing backslash, current user
        EXPECT_TRUE(reg.Write("Probe", "2"));
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Tessaly\\FERNWALL"));
    DeleteTree(HKEY_CURRENT_USER, "Software\\Tessaly\\FERNWALL");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tessaly");

    {
        REGISTRY other("Fernwall", TestBase, 1);                // another base stays
        REGISTRY plain("Fern", "Software\\Halvo\\BriselRegistryTest\\", 1);
    }
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Halvo\\BriselRegistryTest\\Fernwall"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Halvo\\BriselRegistryTest\\Fern"));
    EXPECT_FALSE(FileExists("assert.log"));
}

TEST_F(Registry, ValuesRoundTrip)
{
    ASSERT_TRUE(LogitSwitch("/LOG:2"));
    REGISTRY reg("Values", TestBase, 1);
    ASSERT_NE((HKEY)NULL, reg.Key());
    EXPECT_TRUE(reg.Write("Text", "C:\\Program Files\\Demo;x|y"));
    EXPECT_STREQ("C:\\Program Files\\Demo;x|y", reg.ReadString("text").Str());
    EXPECT_EQ(25, reg.ReadString("Text").Len());

    EXPECT_TRUE(reg.Write("Empty", ""));
    STRING empty = reg.ReadString("Empty");
    ASSERT_FALSE(empty.IsNull());
    EXPECT_EQ(1, empty.Len());                                  // the lone terminator stays
    EXPECT_EQ(0, empty.Str()[0]);

    std::string big(100 * 1024, 'b');
    for (size_t i = 0; i < big.size(); i += 97)
        big[i] = (char)('a' + i % 26);
    EXPECT_TRUE(reg.Write("Big", big.c_str()));
    STRING back = reg.ReadString("Big");
    ASSERT_EQ((int)big.size(), back.Len());
    EXPECT_EQ(0, memcmp(big.data(), back.Str(), big.size()));

    EXPECT_TRUE(reg.ReadString("Missing").IsNull());

    const BYTE raw[] = { 1, 0, 2, 0, 0 };
    RegSetValueExA(reg.Key(), "Raw", 0, REG_BINARY, raw, sizeof raw);
    STRING bytes = reg.ReadString("Raw");
    ASSERT_EQ(5, bytes.Len());
    EXPECT_EQ(0, memcmp(raw, bytes.Str(), 5));
    // A string stored without its terminator keeps its last character.
    RegSetValueExA(reg.Key(), "Bare", 0, REG_SZ, (const BYTE*)"abc", 3);
    EXPECT_STREQ("abc", reg.ReadString("Bare").Str());

    char buf[8];
    DWORD size = sizeof buf;
    EXPECT_TRUE(reg.Read("Text", buf, size) == FALSE);          // too small
    EXPECT_EQ(0u, size);
    char whole[64];
    size = sizeof whole;
    EXPECT_TRUE(reg.Read("Text", whole, size));
    EXPECT_EQ(26u, size);
    EXPECT_STREQ("C:\\Program Files\\Demo;x|y", whole);

    std::string log = ReadWholeFile("logit.log");
    EXPECT_NE(std::string::npos, log.find("] REGISTRY::Write String value= Text; data=C:\\Program Files\\Demo;x|y, error=00000000\r\n"));
    EXPECT_NE(std::string::npos, log.find("] REGISTRY::Read key=Missing, ok=0, error=2\r\n"));
    EXPECT_NE(std::string::npos, log.find("] REGISTRY::Read key=Text, ok=1, error=0\r\n"));
}

TEST_F(Registry, EnumValuesAndDeleteKey)
{
    REGISTRY reg("Enum", TestBase, 1);
    STRING names("stale");
    EXPECT_EQ(0, reg.EnumValues(names));
    EXPECT_FALSE(names.IsNull());
    EXPECT_EQ(0, names.Len());

    std::string longName(300, 'L');
    reg.Write("A", "1");
    reg.Write("B", "2");
    reg.Write(longName.c_str(), "3");
    EXPECT_EQ(3, reg.EnumValues(names));
    EXPECT_EQ("A|B|" + longName, names.Str());

    REGISTRY child("Enum\\Child", TestBase, 1);
    child.Close();
    EXPECT_EQ((HKEY)NULL, child.Key());
    EXPECT_TRUE(reg.DeleteKey("Child"));
    EXPECT_FALSE(reg.DeleteKey("Child"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Halvo\\BriselRegistryTest\\Enum\\Child"));
}

TEST_F(Registry, UnopenableKeyFailsQuietly)
{
    REGISTRY reg("Nowhere", "Software", (INT_PTR)0x1234);
    EXPECT_EQ((HKEY)NULL, reg.Key());
    EXPECT_FALSE(reg.Write("x", "y"));
    EXPECT_TRUE(reg.ReadString("x").IsNull());
    STRING names;
    EXPECT_EQ(0, reg.EnumValues(names));
    std::string report = ReadWholeFile("assert.log");
    EXPECT_NE(std::string::npos, report.find("    Condition: this->hkApp!=NULL\r\n"));
    EXPECT_NE(std::string::npos, report.find("    Add. Info: Nowhere/Software/4660\r\n"));
}

TEST_F(Registry, AutostartAddReplaceRemove)
{
    char name[64];
    snprintf(name, sizeof name, "BriselTest%lu", GetCurrentProcessId());
    HKEY run;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, RunKey, &run));

    EXPECT_TRUE(REGISTRY::Autostart(name, "<SELF>"));
    char self[MAX_PATH], value[1024];
    GetModuleFileNameA(NULL, self, sizeof self);
    DWORD size = sizeof value, type = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(run, name, NULL, &type, (BYTE*)value, &size));
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_STREQ(self, value);
    EXPECT_EQ(strlen(self) + 1, size);

    EXPECT_TRUE(REGISTRY::Autostart(name, "\"C:\\Demo\\demo.exe\" /quiet"));
    size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(run, name, NULL, &type, (BYTE*)value, &size));
    EXPECT_STREQ("\"C:\\Demo\\demo.exe\" /quiet", value);

    EXPECT_TRUE(REGISTRY::Autostart(name, NULL));
    EXPECT_NE(ERROR_SUCCESS, RegQueryValueExA(run, name, NULL, NULL, NULL, NULL));
    EXPECT_FALSE(REGISTRY::Autostart(name, NULL));              // nothing left to remove
    RegDeleteValueA(run, name);
    RegCloseKey(run);
}
