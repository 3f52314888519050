// Test helper: prints values of a key under HKEY_LOCAL_MACHINE exactly as
// RegQueryValueExA returns them, one line each: "name type hex-bytes", or
// "name missing" when the value does not exist.
#include <windows.h>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: regread KEY VALUE...\n");
        return 2;
    }
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, KEY_READ, &key) != ERROR_SUCCESS) {
        printf("key missing\n");
        return 1;
    }
    for (int i = 2; i < argc; i++) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key, argv[i], NULL, &type, NULL, &size) != ERROR_SUCCESS) {
            printf("%s missing\n", argv[i]);
            continue;
        }
        std::vector<BYTE> data(size + 1);
        DWORD got = size;
        RegQueryValueExA(key, argv[i], NULL, &type, data.data(), &got);
        printf("%s %lu ", argv[i], (unsigned long)type);
        for (DWORD k = 0; k < got; k++)
            printf("%02x", data[k]);
        printf("\n");
    }
    RegCloseKey(key);
    return 0;
}
