// Blowfish in CBC mode over OpenSSL's libcrypto, for the encrypted order mail.
// Each direction keeps its own chaining value, so consecutive calls continue
// one CBC chain.
#pragma once
#include <windows.h>
#include <openssl/blowfish.h>

class CRYPTO
{
public:
    CRYPTO(const void* key, int len);      // len -1: zero-terminated key text
    BOOL Encrypt(const void* in, void* out, int len);   // len a multiple of 8
    BOOL Decrypt(const void* in, void* out, int len);

private:
    BF_KEY EncKey;
    unsigned char EncIv[8];
    BF_KEY DecKey;
    unsigned char DecIv[8];
};
