// MD5, HMAC-MD5 and the Blowfish wrapper against published vectors.
#include <gtest/gtest.h>
#include "brisel/crypto.h"
#include "brisel/halvo.h"
#include "brisel/md5.h"
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Hex(const unsigned char* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::vector<unsigned char> Bytes(const char* hex)
{
    std::vector<unsigned char> v;
    for (; hex[0] && hex[1]; hex += 2)
        v.push_back((unsigned char)std::stoi(std::string(hex, 2), nullptr, 16));
    return v;
}

std::string Md5Hex(const std::string& s)
{
    unsigned char d[16];
    MD5::Digest(s.data(), s.size(), d);
    return Hex(d, 16);
}

struct NoBoxes : testing::Environment {
    void SetUp() override { if (!HalvoAssertBoxesOff()) LogitSwitch("/NOASSERT"); }
};
testing::Environment* const noBoxes = testing::AddGlobalTestEnvironment(new NoBoxes);

}

TEST(Md5, Rfc1321Suite)
{
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Md5Hex(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", Md5Hex("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Md5Hex("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", Md5Hex("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", Md5Hex("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
}

TEST(Md5, PiecewiseUpdatesEqualOneCall)
{
    // Split points around the 56- and 64-byte block edges.
    std::string text;
    for (int i = 0; i < 300; i++)
        text += (char)('A' + i % 53);
    for (size_t n : { 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u }) {
        std::string part = text.substr(0, n);
        for (size_t step : { 1u, 7u, 64u }) {
            MD5 md;
            for (size_t i = 0; i < part.size(); i += step)
                md.Update(part.data() + i, std::min(step, part.size() - i));
            unsigned char d[16];
            md.Final(d);
            EXPECT_EQ(Md5Hex(part), Hex(d, 16)) << n << "/" << step;
        }
    }
}

TEST(HmacMd5, Rfc2104AndRfc2202Vectors)
{
    unsigned char mac[16];
    std::vector<unsigned char> key(16, 0x0b);
    HmacMd5(key.data(), key.size(), "Hi There", 8, mac);
    EXPECT_EQ("9294727a3638bb1c13f48ef8158bfc9d", Hex(mac, 16));

    HmacMd5("Jefe", 4, "what do ya want for nothing?", 28, mac);
    EXPECT_EQ("750c783e6ab0b503eaa86e310a5db738", Hex(mac, 16));

    std::vector<unsigned char> aa(16, 0xaa), dd(50, 0xdd);
    HmacMd5(aa.data(), aa.size(), dd.data(), dd.size(), mac);
    EXPECT_EQ("56be34521d144c88dbb8c733f0e8b3f6", Hex(mac, 16));

    // Keys longer than a block are hashed first.
    std::vector<unsigned char> big(80, 0xaa);
    const char* text = "Test Using Larger Than Block-Size Key - Hash Key First";
    HmacMd5(big.data(), big.size(), text, strlen(text), mac);
    EXPECT_EQ("6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd", Hex(mac, 16));
}

TEST(HmacMd5, CramMd5ExampleOfRfc2195)
{
    const char* challenge = "<1896.697170952@postoffice.reston.mci.net>";
    unsigned char mac[16];
    HmacMd5("tanstaaftanstaaf", 16, challenge, strlen(challenge), mac);
    EXPECT_EQ("b913a602c7eda7a495b4e6e7334d3890", Hex(mac, 16));
}

TEST(Crypto, EcbVectorsAsSingleCbcBlocks)
{
    // A single CBC block under a zero chaining value is the plain cipher.
    static const char* const vectors[][3] = {
        { "0000000000000000", "0000000000000000", "4ef997456198dd78" },
        { "ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a" },
        { "3000000000000000", "1000000000000001", "7d856f9a613063f2" },
        { "1111111111111111", "1111111111111111", "2466dd878b963c9d" },
        { "0123456789abcdef", "1111111111111111", "61f9c3802281b096" },
        { "fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d" },
        { "7ca110454a1a6e57", "01a1d6d039776742", "59c68245eb05282b" },
    };
    for (auto& v : vectors) {
        std::vector<unsigned char> key = Bytes(v[0]), plain = Bytes(v[1]), out(8), back(8);
        CRYPTO c(key.data(), (int)key.size());
        EXPECT_TRUE(c.Encrypt(plain.data(), out.data(), 8));
        EXPECT_EQ(v[2], Hex(out.data(), 8)) << v[0];
        EXPECT_TRUE(c.Decrypt(out.data(), back.data(), 8));
        EXPECT_EQ(v[1], Hex(back.data(), 8));
    }
}

TEST(Crypto, CbcVectorAndChainAcrossCalls)
{
    // Published CBC vector (key 0123...87, IV fedcba9876543210): with a zero
    // chaining value the IV is folded into the first block beforehand.
    std::vector<unsigned char> key = Bytes("0123456789abcdeff0e1d2c3b4a59687");
    std::vector<unsigned char> iv = Bytes("fedcba9876543210");
    unsigned char data[32] = "7654321 Now is the time for ";
    for (int i = 0; i < 8; i++)
        data[i] ^= iv[i];
    const char* expect = "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc";

    unsigned char one[32], two[32];
    CRYPTO a(key.data(), 16);
    a.Encrypt(data, one, 32);
    EXPECT_EQ(expect, Hex(one, 32));

    CRYPTO b(key.data(), 16);
    b.Encrypt(data, two, 8);
    b.Encrypt(data + 8, two + 8, 24);
    EXPECT_EQ(Hex(one, 32), Hex(two, 32));

    // Decryption chains the same way, also in place.
    CRYPTO d(key.data(), 16);
    d.Decrypt(one, one, 16);
    d.Decrypt(one + 16, one + 16, 16);
    EXPECT_EQ(0, memcmp(one, data, 32));
}

TEST(Crypto, RaggedLengthsAreRefusedWithoutOverrun)
{
    // Text keys with a length other than a multiple of 8 still work (with an assertion).
    CRYPTO c("abc", -1);
    unsigned char in[16] = "0123456789abcde", out[24];
    memset(out, 0x5a, sizeof out);
    EXPECT_FALSE(c.Encrypt(in, out, 12));
    for (int i = 8; i < 24; i++)
        EXPECT_EQ(0x5a, out[i]) << i;
}
