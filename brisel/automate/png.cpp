// The screenshot action: the topmost window as a PNG file (stored deflate
// blocks, so no compressor is needed).
#include "brisel/automate/script.h"
#include <cstdio>
#include <cstring>

namespace {

DWORD Crc32(const BYTE* data, size_t length, DWORD crc = 0)
{
    static DWORD table[256];
    static bool ready = false;
    if (!ready) {
        for (DWORD i = 0; i < 256; i++) {
            DWORD c = i;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < length; i++)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put32(std::vector<BYTE>& v, DWORD x)
{
    v.push_back((BYTE)(x >> 24));
    v.push_back((BYTE)(x >> 16));
    v.push_back((BYTE)(x >> 8));
    v.push_back((BYTE)x);
}

void Chunk(std::vector<BYTE>& out, const char* type, const std::vector<BYTE>& data)
{
    Put32(out, (DWORD)data.size());
    std::vector<BYTE> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, Crc32(body.data(), body.size()));
}

// A zlib stream of stored deflate blocks.
std::vector<BYTE> Stored(const std::vector<BYTE>& raw)
{
    std::vector<BYTE> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t len = raw.size() - pos;
        if (len > 65535)
            len = 65535;
        z.push_back(pos + len == raw.size() ? 1 : 0);
        z.push_back((BYTE)len);
        z.push_back((BYTE)(len >> 8));
        z.push_back((BYTE)~len);
        z.push_back((BYTE)(~len >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
        pos += len;
    } while (pos < raw.size());
    DWORD a = 1, b = 0;
    for (BYTE c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);
    return z;
}

// A 24-bit RGB image (rows top down, 3 bytes a pixel) as PNG.
BOOL WritePng(const char* file, int width, int height, const BYTE* rgb)
{
    if (width <= 0 || height <= 0 || !rgb)
        return FALSE;
    std::vector<BYTE> raw;   // filter byte 0 before each row
    raw.reserve((size_t)height * (width * 3 + 1));
    for (int y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb + (size_t)y * width * 3, rgb + (size_t)(y + 1) * width * 3);
    }
    std::vector<BYTE> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<BYTE> ihdr;
    Put32(ihdr, (DWORD)width);
    Put32(ihdr, (DWORD)height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter, no interlace
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", Stored(raw));
    Chunk(png, "IEND", {});
    FILE* f = fopen(file, "wb");
    if (!f)
        return FALSE;
    BOOL ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = (fclose(f) == 0) && ok;
    return ok;
}

} // namespace

BOOL Screenshot(HWND h, const std::string& file)
{
    RedrawWindow(h, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
    RECT r;
    GetWindowRect(h, &r);
    int w = r.right - r.left, ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0)
        return FALSE;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof(bi));
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -ht;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    BOOL ok = FALSE;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        std::vector<BYTE> rgb((size_t)w * ht * 3);
        const BYTE* p = (const BYTE*)bits;
        for (size_t i = 0; i < (size_t)w * ht; i++) {
            rgb[i * 3] = p[i * 4 + 2];
            rgb[i * 3 + 1] = p[i * 4 + 1];
            rgb[i * 3 + 2] = p[i * 4];
        }
        ok = WritePng(file.c_str(), w, ht, rgb.data());
        SelectObject(mem, old);
    }
    if (bmp)
        DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}
