// setup.exe's own resources, linked into this test program as into setup.exe:
// icons 1-3 in the sizes and colour depths Windows picks from, and the finish
// bitmap whose pure red the program maps to the dialog colour.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <set>
#include <string>
#include <utility>

#include "setup/lang/resource.h"

namespace {

#pragma pack(push, 2)
struct GRPICONENTRY {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GRPICONDIR {
    WORD reserved, type, count;
    GRPICONENTRY entries[1];
};
#pragma pack(pop)

const void* Resource(LPCSTR type, int id, DWORD* size = nullptr)
{
    HRSRC res = FindResourceA(NULL, MAKEINTRESOURCEA(id), type);
    if (!res)
        return nullptr;
    if (size)
        *size = SizeofResource(NULL, res);
    HGLOBAL mem = LoadResource(NULL, res);
    return mem ? LockResource(mem) : nullptr;
}

TEST(SetupResources, IconsIn32And16PixelsWith16And256Colours)
{
    std::set<std::string> pictures;
    for (int id : {IDI_SETUP, IDI_UNINSTALL, IDI_ORDER}) {
        SCOPED_TRACE(id);
        auto dir = (const GRPICONDIR*)Resource((LPCSTR)RT_GROUP_ICON, id);
        ASSERT_NE(nullptr, dir);
        ASSERT_EQ(1, dir->type);
        std::set<std::pair<int, int>> have;   // size, bits per pixel
        std::string pixels;
        for (int i = 0; i < dir->count; i++) {
            const GRPICONENTRY& e = dir->entries[i];
            DWORD size = 0;
            auto bmi = (const BITMAPINFOHEADER*)Resource((LPCSTR)RT_ICON, e.id, &size);
            ASSERT_NE(nullptr, bmi) << "image " << e.id;
            ASSERT_GE(size, e.bytes);
            int w = e.width ? e.width : 256;
            EXPECT_EQ(w, bmi->biWidth);
            EXPECT_EQ(2 * w, bmi->biHeight);    // colour and mask
            EXPECT_EQ(e.bitCount, bmi->biBitCount);
            have.insert({w, bmi->biBitCount});
            pixels.append((const char*)bmi, size);
        }
        for (int w : {32, 16})
            for (int bits : {4, 8})
                EXPECT_TRUE(have.count({w, bits})) << w << "x" << w << " " << bits << " bits missing";
        pictures.insert(pixels);

        // Windows loads each size.
        for (int w : {32, 16}) {
            HICON icon = (HICON)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id), IMAGE_ICON, w, w, 0);
            EXPECT_NE(nullptr, icon) << w;
            if (icon)
                DestroyIcon(icon);
        }
    }
    EXPECT_EQ(3u, pictures.size()) << "the three icons must be different pictures";
}

TEST(SetupResources, FinishBitmapIsAPaletteBitmapWithRedBackground)
{
    auto bmi = (const BITMAPINFOHEADER*)Resource((LPCSTR)RT_BITMAP, IDB_FINISH);
    ASSERT_NE(nullptr, bmi);
    ASSERT_TRUE(bmi->biBitCount == 4 || bmi->biBitCount == 8) << bmi->biBitCount;
    EXPECT_EQ((DWORD)BI_RGB, bmi->biCompression);
    EXPECT_LE(bmi->biWidth, 96);
    EXPECT_LE(abs(bmi->biHeight), 176);
    EXPECT_GE(bmi->biWidth, 32);

    // The corner is the transparent red, and the picture is more than red.
    int colours = bmi->biClrUsed ? (int)bmi->biClrUsed : 1 << bmi->biBitCount;
    auto table = (const RGBQUAD*)((const BYTE*)bmi + bmi->biSize);
    auto bits = (const BYTE*)(table + colours);
    int stride = ((bmi->biWidth * bmi->biBitCount + 31) / 32) * 4;
    int rows = abs(bmi->biHeight);
    auto pixel = [&](int x, int y) -> RGBQUAD {
        int row = bmi->biHeight > 0 ? rows - 1 - y : y;
        BYTE b = bits[row * stride + x * bmi->biBitCount / 8];
        int index = bmi->biBitCount == 8 ? b : (x % 2 ? b & 15 : b >> 4);
        return table[index];
    };
    auto red = [](RGBQUAD q) { return q.rgbRed == 255 && q.rgbGreen == 0 && q.rgbBlue == 0; };
    EXPECT_TRUE(red(pixel(0, 0)));
    EXPECT_TRUE(red(pixel(bmi->biWidth - 1, rows - 1)));
    int other = 0;
    for (int y = 0; y < rows; y++)
        for (int x = 0; x < bmi->biWidth; x++)
            other += !red(pixel(x, y));
    EXPECT_GT(other, bmi->biWidth * rows / 4);

    // Mapped as the program maps it, the red shows in the dialog colour.
    COLORMAP map = {RGB(255, 0, 0), GetSysColor(COLOR_BTNFACE)};
    HBITMAP mapped = CreateMappedBitmap(GetModuleHandleA(NULL), IDB_FINISH, 0, &map, 1);
    ASSERT_NE(nullptr, mapped);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, mapped);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, 0, 0));
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), GetPixel(dc, bmi->biWidth / 2, rows / 2));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(mapped);
}

TEST(SetupResources, NoStringsAndNoDialogsInTheProgram)
{
    // Texts and dialogs come from the language module only.
    auto none = [](LPCSTR type) {
        int count = 0;
        EnumResourceNamesA(NULL, type, [](HMODULE, LPCSTR, LPSTR, LONG_PTR p) CALLBACK -> BOOL {
            ++*(int*)p;
            return TRUE;
        }, (LONG_PTR)&count);
        return count == 0;
    };
    EXPECT_TRUE(none((LPCSTR)RT_STRING));
    EXPECT_TRUE(none((LPCSTR)RT_DIALOG));
}

} // namespace
