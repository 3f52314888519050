// The uninstall's safety rules: which folder trees it refuses to delete, which
// recorded items stay inside the install folder, which files are protected,
// and the removal of a product key with subkeys.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <string>
#include "setup/uninstall/uninstall.h"
#include "brisel/osysfile.h"
#include "brisel/stringarray.h"

namespace {

std::string Folder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, SHGFP_TYPE_CURRENT, path);
    return path;
}

TEST(Uninstall, NormalisedPaths)
{
    EXPECT_STREQ("C:\\", UNINSTALL::NormalisePath("c:").Str());
    EXPECT_STREQ("C:\\", UNINSTALL::NormalisePath("C:/").Str());
    EXPECT_STREQ("C:\\A\\B", UNINSTALL::NormalisePath("c:/a//b/").Str());
    EXPECT_STREQ("C:\\A", UNINSTALL::NormalisePath("C:\\a\\b\\..\\.").Str());
    EXPECT_STREQ("\\\\SERVER\\SHARE", UNINSTALL::NormalisePath("\\\\server\\share\\").Str());
    // Relative forms have no full path to compare.
    EXPECT_TRUE(UNINSTALL::NormalisePath("folder").IsNull());
    EXPECT_TRUE(UNINSTALL::NormalisePath("\\folder").IsNull());
    EXPECT_TRUE(UNINSTALL::NormalisePath("C:folder").IsNull());
    EXPECT_TRUE(UNINSTALL::NormalisePath("").IsNull());
}

TEST(Uninstall, RefusedTreesAgainstAList)
{
    STRINGARRAY folders;
    folders.Add(UNINSTALL::NormalisePath("C:\\Program Files"));
    folders.Add(UNINSTALL::NormalisePath("C:\\Users\\Jo\\Desktop"));
    // Empty, relative, roots and shares.
    for (const char* p : {"", "relative\\dir", "C:", "c:\\", "C:/", "\\\\srv\\share", "\\\\srv\\share\\"})
        EXPECT_TRUE(UNINSTALL::IsRefusedTree(p, folders)) << p;
    // The protected folders themselves in any spelling, and every folder above them.
    for (const char* p : {"c:/program files/", "C:\\PROGRAM FILES\\Tool\\..", "C:\\Users", "c:\\users\\jo",
                          "C:\\Users\\Jo\\Desktop\\."})
        EXPECT_TRUE(UNINSTALL::IsRefusedTree(p, folders)) << p;
    // Folders below them, beside them, or whose names only begin the same.
    for (const char* p : {"C:\\Program Files\\Tool", "C:\\Program Files2", "C:\\Users\\Jo\\Desktop\\Game",
                          "C:\\Users\\Jonas", "\\\\srv\\share\\tool", "D:\\Tool"})
        EXPECT_FALSE(UNINSTALL::IsRefusedTree(p, folders)) << p;
}

TEST(Uninstall, RefusedSystemFolders)
{
    char windows[MAX_PATH], system[MAX_PATH], temp[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    GetSystemDirectoryA(system, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);
    for (std::string p : {std::string(windows), std::string(system), std::string(temp),
                          Folder(CSIDL_PROGRAM_FILES), Folder(CSIDL_PROGRAM_FILES_COMMON), Folder(CSIDL_PROFILE),
                          Folder(CSIDL_DESKTOPDIRECTORY), Folder(CSIDL_PERSONAL), Folder(CSIDL_APPDATA),
                          Folder(CSIDL_PROGRAMS), Folder(CSIDL_COMMON_APPDATA), Folder(CSIDL_STARTMENU),
                          std::string(DirectoryPart(Folder(CSIDL_PROFILE).c_str()).Str())}) {
        ASSERT_FALSE(p.empty());
        EXPECT_TRUE(UNINSTALL::IsRefusedTree(p.c_str())) << p;
    }
    std::string product = Folder(CSIDL_PROGRAM_FILES) + "\\Halvo Tool";
    EXPECT_FALSE(UNINSTALL::IsRefusedTree(product.c_str())) << product;
    std::string data = Folder(CSIDL_APPDATA) + "\\Halvo\\Tool";
    EXPECT_FALSE(UNINSTALL::IsRefusedTree(data.c_str())) << data;
}

TEST(Uninstall, ItemsThatLeaveTheInstallFolder)
{
    for (const char* p : {"prog.exe", "data\\user.ini", "data/sub/x.dat", "..name", "a..b\\c"})
        EXPECT_TRUE(UNINSTALL::IsInsideItem(p)) << p;
    for (const char* p : {"", "..\\x.txt", "data\\..\\..\\x", "data/../../x", "\\x.txt", "/x.txt", "C:\\x.txt",
                          "C:x.txt", "\\\\srv\\share\\x", "sub\\...\\x", "sub\\. .\\x", ".."})
        EXPECT_FALSE(UNINSTALL::IsInsideItem(p)) << p;
}

TEST(Uninstall, ProtectionByNameOrWholePath)
{
    STRING protect("PROG.CFG|data/user.ini;keep|;|other.txt");
    EXPECT_TRUE(UNINSTALL::IsProtected("prog.cfg", protect));
    EXPECT_TRUE(UNINSTALL::IsProtected("conf\\Prog.cfg", protect));   // the name part
    EXPECT_TRUE(UNINSTALL::IsProtected("data\\user.ini", protect));   // the whole path, "/" = "\"
    EXPECT_TRUE(UNINSTALL::IsProtected("DATA/USER.INI", protect));
    EXPECT_FALSE(UNINSTALL::IsProtected("user.ini", protect));
    EXPECT_FALSE(UNINSTALL::IsProtected("other\\data\\user.ini", protect));
    EXPECT_FALSE(UNINSTALL::IsProtected("keep", protect));             // only the first field counts
    EXPECT_FALSE(UNINSTALL::IsProtected("prog.exe", protect));
    EXPECT_FALSE(UNINSTALL::IsProtected("prog.cfg", STRING("")));
    EXPECT_FALSE(UNINSTALL::IsProtected("prog.cfg", STRING()));
}

TEST(Uninstall, KeyWithSubkeysIsDeleted)
{
    const char* base = "Software\\BriselTest\\UninstallKeys";
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\BriselTest\\UninstallKeys\\Tool\\A\\B", &k));
    RegSetValueExA(k, "v", 0, REG_SZ, (const BYTE*)"1", 2);
    RegCloseKey(k);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\BriselTest\\UninstallKeys\\Tool\\C", &k));
    RegCloseKey(k);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\BriselTest\\UninstallKeys\\Other", &k));
    RegCloseKey(k);

    EXPECT_TRUE(UNINSTALL::DeleteKeyTree(HKEY_CURRENT_USER, base, "Tool"));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BriselTest\\UninstallKeys\\Tool", 0,
                                           KEY_READ, &k));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\BriselTest\\UninstallKeys\\Other", 0,
                                           KEY_READ, &k));
    RegCloseKey(k);
    // Nothing there, or no name: nothing happens.
    EXPECT_FALSE(UNINSTALL::DeleteKeyTree(HKEY_CURRENT_USER, base, "Tool"));
    EXPECT_FALSE(UNINSTALL::DeleteKeyTree(HKEY_CURRENT_USER, base, ""));
    EXPECT_FALSE(UNINSTALL::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\BriselTest\\NoSuchKey", "Tool"));
    EXPECT_TRUE(UNINSTALL::DeleteKeyTree(HKEY_CURRENT_USER, "Software\\BriselTest", "UninstallKeys"));
}

}
