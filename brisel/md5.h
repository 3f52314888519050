// MD5 message digest and HMAC-MD5, for the CRAM-MD5 login of the mail client.
#pragma once
#include <cstddef>
#include <cstdint>

class MD5
{
public:
    MD5() { Init(); }
    void Init();
    void Update(const void* data, size_t len);
    void Final(unsigned char digest[16]);   // leaves the object ready for a new message

    static void Digest(const void* data, size_t len, unsigned char digest[16]);

private:
    void Block(const unsigned char* p);

    uint32_t State[4];
    uint64_t Bytes;                 // message length so far
    unsigned char Pending[64];      // partial block
};

// HMAC keyed with MD5; a key longer than 64 bytes is replaced by its digest.
void HmacMd5(const void* key, size_t keylen, const void* data, size_t len, unsigned char mac[16]);
