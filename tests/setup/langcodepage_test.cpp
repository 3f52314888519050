// On a Hungarian system (ANSI code page 1250) the program reads its texts with
// LoadStringA: the Hungarian module must give the letters o and u with double
// acute as the bytes F5 and FB, not look-alikes or question marks.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

#include "setup/lang/resource.h"

namespace {

std::string Folder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

TEST(HungarianSystem, TextsComeOutInCodePage1250)
{
    if (GetACP() != 1250)
        GTEST_SKIP() << "the system's code page is " << GetACP() << ", not 1250";
    HMODULE h = LoadLibraryA((Folder() + "setuphungarian.dll").c_str());
    ASSERT_NE(nullptr, h);

    int doubleAcute = 0;
    for (int id = 2900; id <= 3290; id++) {
        wchar_t wide[256];
        char ansi[256];
        int nw = LoadStringW(h, id, wide, 256);
        int na = LoadStringA(h, id, ansi, 256);
        ASSERT_EQ(nw > 0, na > 0) << id;
        if (nw <= 0)
            continue;
        std::string a(ansi, na);
        // Every character has its own byte: nothing replaced on the way.
        EXPECT_EQ((size_t)nw, a.size()) << id;
        for (int i = 0; i < nw; i++) {
            if (wide[i] != L'?') {
                EXPECT_NE('?', a[i]) << "string " << id << " character " << i;
            }
        }
        for (unsigned char c : a) {
            EXPECT_FALSE(c >= 0x80 && c <= 0x9F) << id;
            doubleAcute += c == 0xF5 || c == 0xFB || c == 0xD5 || c == 0xDB;
        }
    }
    EXPECT_GT(doubleAcute, 0);
}

} // namespace
