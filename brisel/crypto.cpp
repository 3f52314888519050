// The Blowfish calls are deprecated in OpenSSL 3 but are exactly what the
// mail armour needs; this is the only file that makes them.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "brisel/crypto.h"
#include "brisel/halvo.h"
#include <cstring>

CRYPTO::CRYPTO(const void* key, int len)
{
    if (len < 0)
        len = key ? (int)strlen((const char*)key) : 0;
    Assert(len % 8 == 0, "len%8==0", __FILE__, __LINE__, NULL, FALSE);
    BF_set_key(&EncKey, len, (const unsigned char*)key);
    BF_set_key(&DecKey, len, (const unsigned char*)key);
    memset(EncIv, 0, sizeof EncIv);
    memset(DecIv, 0, sizeof DecIv);
}

BOOL CRYPTO::Encrypt(const void* in, void* out, int len)
{
    // A partial last block would be written out whole, past the caller's
    // block: only whole blocks are processed.
    BOOL whole = Assert(len % 8 == 0, "len%8==0", __FILE__, __LINE__, NULL, FALSE) && len % 8 == 0;
    len -= len % 8;
    if (len > 0)
        BF_cbc_encrypt((const unsigned char*)in, (unsigned char*)out, len, &EncKey, EncIv, BF_ENCRYPT);
    return whole && len >= 0;
}

BOOL CRYPTO::Decrypt(const void* in, void* out, int len)
{
    // A partial last block would be written out whole, past the caller's
    // block: only whole blocks are processed.
    BOOL whole = Assert(len % 8 == 0, "len%8==0", __FILE__, __LINE__, NULL, FALSE) && len % 8 == 0;
    len -= len % 8;
    if (len > 0)
        BF_cbc_encrypt((const unsigned char*)in, (unsigned char*)out, len, &DecKey, DecIv, BF_DECRYPT);
    return whole && len >= 0;
}
