// The test programs run as Windows programs with the static runtime.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>

TEST(Toolchain, RunsAsWindowsProgram)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    ASSERT_GT(n, 4u);
    EXPECT_EQ(0, _stricmp(path + n - 4, ".exe"));
    EXPECT_EQ(NULL, GetModuleHandleA("libwinpthread-1.dll"));
}
