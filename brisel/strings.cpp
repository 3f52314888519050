// STRING: growable byte string with a recycled small-block pool, the null
// text guard, and the program's text encodings.
#include "brisel/strings.h"
#include "brisel/halvo.h"
#include "brisel/locks.h"

#include <ctype.h>
#include <io.h>
#include <limits.h>
#include <share.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// ---------------------------------------------------------------------------
// Small-block pool: 96-byte buffers come back LIFO instead of from the heap.

#define POOL_SLOTS 128

static char* PoolList[POOL_SLOTS];
static int PoolCount = 0;
static volatile LONG PoolClosed = 0;

// Made on first use (the first string may come before main), kept to the end.
static CRITSECT& PoolLock()
{
    static CRITSECT lock;
    return lock;
}

static char* PoolAlloc(int size)
{
    if (size == STRING_BLOCKSIZE && !PoolClosed) {
        char* ptr = NULL;
        CRITSECT& lock = PoolLock();
        lock.Enter();
        if (PoolCount > 0) {
            ptr = PoolList[--PoolCount];
            PoolList[PoolCount] = NULL;
            ASSERT(ptr);
        }
        lock.Leave();
        if (ptr)
            return ptr;
    }
    return (char*)malloc((size_t)size);
}

static void PoolFree(char* ptr, int size)
{
    if (ptr == NULL)
        return;
    if (size == STRING_BLOCKSIZE && !PoolClosed) {
        BOOL kept = FALSE;
        CRITSECT& lock = PoolLock();
        lock.Enter();
        if (PoolCount < POOL_SLOTS - 1) {
            PoolList[PoolCount++] = ptr;
            kept = TRUE;
        }
        lock.Leave();
        if (kept)
            return;
    }
    free(ptr);
}

void STRING::ShutdownPool()
{
    CRITSECT& lock = PoolLock();
    lock.Enter();
    for (int i = 0; i < PoolCount; i++) {
        free(PoolList[i]);
        PoolList[i] = NULL;
    }
    PoolCount = 0;
    InterlockedExchange(&PoolClosed, 1);
    lock.Leave();
}

int STRING::PoolHeld()
{
    return PoolCount;
}

// ---------------------------------------------------------------------------
// Null text guard

static volatile LONG NullPolicy = 0;

const char* STRING::NullGuard(const char* p, const char* label)
{
    if (p != NULL)
        return p;
    char value[32];
    DWORD n = GetEnvironmentVariableA("HALVOFAILONNULL", value, sizeof(value));
    if (n > 0 && n < sizeof(value))
        InterlockedExchange(&NullPolicy, atoi(value));
    LONG policy = NullPolicy;
    p = (policy & 1) ? NULL : "<NULL>";
    if (policy & 2)
        ASSERTINFO(p!=NULL, label ? label : "<none>");
    return p;
}

// ---------------------------------------------------------------------------
// Construction and storage

STRING::STRING()
    : Buffer(NULL), StrLen(0), BufLen(0), BlockSize(STRING_BLOCKSIZE), Flags(0)
{
}

STRING::STRING(const char* text)
    : Buffer(NULL), StrLen(0), BufLen(0), BlockSize(STRING_BLOCKSIZE), Flags(0)
{
    if (text)
        Make((int)strlen(text), text);
}

STRING::STRING(int blocksize)
    : Buffer(NULL), StrLen(0), BufLen(0), BlockSize(blocksize > 0 ? blocksize : STRING_BLOCKSIZE), Flags(0)
{
}

STRING::STRING(const STRING& other)
    : Buffer(NULL), StrLen(0), BufLen(0), BlockSize(other.BlockSize), Flags(other.Flags)
{
    if (other.Buffer)
        Make(other.StrLen, other.Buffer);
}

STRING::~STRING()
{
    PoolFree(Buffer, BufLen);
}

STRING& STRING::operator=(const STRING& other)
{
    if (this == &other)
        return *this;
    if (other.Buffer)
        Make(other.StrLen, other.Buffer);
    else
        Clear();
    Flags = other.Flags;
    return *this;
}

STRING& STRING::operator=(const char* text)
{
    if (text)
        Make((int)strlen(text), text);
    else
        Clear();
    Flags = 0;
    return *this;
}

void STRING::Clear()
{
    PoolFree(Buffer, BufLen);
    Buffer = NULL;
    StrLen = 0;
    BufLen = 0;
}

// The one routine that sizes buffers. Sizes are computed in 64 bits, so a
// length near the integer limit fails cleanly (assertion "buffer") and leaves
// the string as it was. text may point into the string's own buffer.
BOOL STRING::Make(int l, const char* text)
{
    if (l < 0)
        return FALSE;

    char* old = NULL;
    int oldlen = 0;
    if ((long long)BufLen < (long long)l + 1) {
        long long b = (long long)BlockSize * (((long long)l + 1) / BlockSize + 1);
        char* buffer = (b <= INT_MAX) ? PoolAlloc((int)b) : NULL;
        ASSERT(buffer);
        if (!buffer)
            return FALSE;
        // Zero-filled beyond the old content (only the tail needs clearing).
        int keep = Buffer ? StrLen : 0;
        if (keep)
            memcpy(buffer, Buffer, (size_t)keep);
        memset(buffer + keep, 0, (size_t)(b - keep));
        old = Buffer;
        oldlen = BufLen;
        Buffer = buffer;
        BufLen = (int)b;

        if (Flags & STRINGFLAG_DYNABLOCK) {
            int bs = BufLen / 2;
            if (bs >= 0x20000)
                bs = 0x20000;
            else if (bs >= 4096)
                bs = (bs + 1023) / 1024 * 1024;
            if (bs != BlockSize) {
                BlockSize = bs;
                Logit("STRING::Make STRINGFLAG_DYNABLOCK new blocksize %d\n", BlockSize);
            }
        } else if (BufLen >= 32768) {
            Flags |= STRINGFLAG_DYNABLOCK;
            BlockSize = 16382;
            Logit("STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK\n");
        } else if (BufLen >= 8192) {
            BlockSize = 4096;
        } else if (BufLen >= 4096) {
            BlockSize = 2048;
        } else if (BufLen >= 1024) {
            BlockSize = 1024;
        }
    }

    if (text) {
        ASSERT(this->BufLen>=(l+1));
        // Still valid when text lay in the old buffer: it is released below.
        memmove(Buffer, text, (size_t)l);
        Buffer[l] = 0;
    }
    StrLen = l;
    PoolFree(old, oldlen);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Accessors

char STRING::operator[](int i) const
{
    ASSERT(i>=0 && i<this->StrLen);
    if (i < 0 || i >= StrLen)
        return 0;
    return Buffer[i];
}

char& STRING::At(int i)
{
    static char nowhere;
    ASSERT(i>=0 && i<=this->StrLen);
    if (i < 0 || i > StrLen || Buffer == NULL) {
        nowhere = 0;
        return nowhere;
    }
    return Buffer[i];
}

int STRING::Atoi() const
{
    const char* p = NullGuard(Buffer, "atoi");
    return p ? atoi(p) : 0;
}

// ---------------------------------------------------------------------------
// Comparison

static int CompareNoCase(const char* a, const char* b)
{
    // A null pointer here only comes from the guard's fail policy: it sorts first.
    if (a == NULL || b == NULL)
        return (a ? 1 : 0) - (b ? 1 : 0);
    return _stricmp(a, b);
}

bool STRING::operator==(const STRING& other) const
{
    if (Buffer == NULL || other.Buffer == NULL)
        return Buffer == other.Buffer;
    return _stricmp(Buffer, other.Buffer) == 0;
}

bool STRING::operator==(const char* text) const
{
    if (Buffer == NULL || text == NULL)
        return Buffer == text;
    return _stricmp(Buffer, text) == 0;
}

static int Order(const char* a, const char* b)
{
    return CompareNoCase(STRING::NullGuard(a, "stricmp p1"), STRING::NullGuard(b, "stricmp p2"));
}

bool STRING::operator<(const STRING& other) const { return Order(Buffer, other.Buffer) < 0; }
bool STRING::operator<(const char* text) const { return Order(Buffer, text) < 0; }
bool STRING::operator<=(const STRING& other) const { return Order(Buffer, other.Buffer) <= 0; }
bool STRING::operator<=(const char* text) const { return Order(Buffer, text) <= 0; }
bool STRING::operator>(const STRING& other) const { return Order(Buffer, other.Buffer) > 0; }
bool STRING::operator>(const char* text) const { return Order(Buffer, text) > 0; }
bool STRING::operator>=(const STRING& other) const { return Order(Buffer, other.Buffer) >= 0; }
bool STRING::operator>=(const char* text) const { return Order(Buffer, text) >= 0; }

// ---------------------------------------------------------------------------
// Substrings

STRING STRING::Mid(int pos, int len) const
{
    STRING result;
    if (pos < 0)
        pos = 0;
    if (pos >= StrLen) {
        result.Make(0, "");
        return result;
    }
    int rest = StrLen - pos;
    if (len == -1 || len > rest)
        len = rest;
    else if (len < 0)
        len = 0;
    result.Make(len, Buffer + pos);
    return result;
}

STRING STRING::Left(int n) const
{
    return Mid(0, n);
}

STRING STRING::Right(int n) const
{
    int pos = StrLen - n;
    return Mid(pos > 0 ? pos : 0, n);
}

static BOOL IsOneOf(char c, const char* set)
{
    // memchr, not strchr: a zero byte must not match the set's terminator.
    return set != NULL && memchr(set, c, strlen(set)) != NULL;
}

STRING STRING::Word(int index, const char* separators, DWORD flags) const
{
    STRING result;
    if (Buffer != NULL && index >= 0) {
        int i = 0;
        BOOL found = TRUE;
        for (int skipped = 0; skipped < index; skipped++) {
            while (i < StrLen && !IsOneOf(Buffer[i], separators))
                i++;
            if (i >= StrLen) {
                found = FALSE;   // fewer fields than asked for
                break;
            }
            i++;
        }
        if (found) {
            int end = i;
            if (flags & 0xFFFF)
                end = StrLen;
            else
                while (end < StrLen && !IsOneOf(Buffer[end], separators))
                    end++;
            result.Make(end - i, Buffer + i);
        }
    }
    if (result.Buffer == NULL && (flags & WORD_EMPTYNOTNULL))
        result.Make(0, "");
    return result;
}

// ---------------------------------------------------------------------------
// Editing

STRING& STRING::Append(const char* text, int len)
{
    text = NullGuard(text, "STRING::Append op1");
    if (text == NULL)
        return *this;
    if (len < 0)
        len = (int)strlen(text);
    if (len > INT_MAX - 1 - StrLen)
        return *this;
    if (Buffer != NULL && text >= Buffer && text < Buffer + BufLen) {
        // A piece of itself: the growth may replace the buffer, so copy first.
        STRING piece;
        if (piece.Make(len, text))
            Append(piece.Buffer, len);
        return *this;
    }
    int base = StrLen;
    if (!Make(base + len, NULL))
        return *this;
    memcpy(Buffer + base, text, (size_t)len);
    Buffer[StrLen] = 0;
    return *this;
}

STRING& STRING::Append(const STRING& other)
{
    if (&other == this) {
        STRING copy(other);
        return Append(copy);
    }
    if (other.Buffer == NULL) {
        if (Buffer == NULL)
            Make(0, "");
        return *this;
    }
    return Append(other.Buffer, other.StrLen);
}

STRING operator||(const STRING& left, const char* right)
{
    STRING result;
    STRING::NullGuard(left.Str(), "STR::op1||");
    right = STRING::NullGuard(right, "STR::op2||");
    result.Make(0, "");
    if (left.Str())
        result.Append(left.Str(), left.Len());
    if (right)
        result.Append(right, (int)strlen(right));
    return result;
}

STRING operator||(const STRING& left, const STRING& right)
{
    return left || right.Str();
}

STRING operator||(const char* left, const STRING& right)
{
    STRING result;
    left = STRING::NullGuard(left, "STR::op1||");
    const char* r = STRING::NullGuard(right.Str(), "STR::op2||");
    result.Make(0, "");
    if (left)
        result.Append(left, (int)strlen(left));
    if (r)
        result.Append(r, (int)strlen(r));
    return result;
}

STRING& STRING::Truncate(int newlength)
{
    ASSERT(newlength>=0);
    if (newlength >= 0 && newlength < StrLen) {
        StrLen = newlength;
        Buffer[StrLen] = 0;
    }
    return *this;
}

STRING& STRING::CutLeft(int howmany)
{
    ASSERT(howmany>=0);
    if (howmany <= 0 || Buffer == NULL)
        return *this;
    if (howmany >= StrLen)
        howmany = StrLen;
    memmove(Buffer, Buffer + howmany, (size_t)(StrLen - howmany));
    StrLen -= howmany;
    Buffer[StrLen] = 0;
    return *this;
}

STRING& STRING::CutRight(int howmany)
{
    ASSERT(howmany>=0);
    if (howmany <= 0 || Buffer == NULL)
        return *this;
    if (howmany >= StrLen)
        howmany = StrLen;
    StrLen -= howmany;
    Buffer[StrLen] = 0;
    return *this;
}

STRING& STRING::InsertChar(int howmany, int pos, char ch)
{
    ASSERT(howmany>=0);
    if (howmany <= 0 || pos < 0 || pos >= StrLen)
        return *this;
    if (howmany > INT_MAX - StrLen)
        return *this;
    int oldlen = StrLen;
    if (!Make(oldlen + howmany, NULL))
        return *this;
    memmove(Buffer + pos + howmany, Buffer + pos, (size_t)(oldlen - pos));
    memset(Buffer + pos, ch, (size_t)howmany);
    Buffer[StrLen] = 0;
    return *this;
}

STRING& STRING::Insert(const char* text, int pos)
{
    if (text == NULL)
        return *this;
    ASSERT(text!=this->Buffer);
    if (text == Buffer)
        return *this;
    if (Buffer != NULL && text > Buffer && text < Buffer + BufLen) {
        STRING copy(text);
        return Insert(copy.Buffer, pos);
    }
    if (pos < 0 || pos > StrLen)
        return *this;
    if (pos == StrLen)
        return Append(text, -1);
    int len = (int)strlen(text);
    int before = StrLen;
    InsertChar(len, pos, ' ');
    if (StrLen == before + len)
        memcpy(Buffer + pos, text, (size_t)len);
    return *this;
}

STRING& STRING::Replace(const char* from, const char* to, BOOL exact)
{
    if (from == NULL || *from == 0 || Buffer == NULL)
        return *this;
    if (to == NULL)
        to = "";
    if (strcmp(from, to) == 0)
        return *this;
    // Own copies: from or to may point into this string.
    STRING f(from), t(to);
    int flen = f.StrLen, tlen = t.StrLen;
    int start = 0;
    for (;;) {
        int pos = exact ? Pos(f.Buffer, start) : iPos(f.Buffer, start);
        if (pos < 0)
            break;
        int oldlen = StrLen;
        if (tlen > flen) {
            if (tlen - flen > INT_MAX - oldlen || !Make(oldlen + tlen - flen, NULL))
                break;
        }
        memmove(Buffer + pos + tlen, Buffer + pos + flen, (size_t)(oldlen - pos - flen));
        memcpy(Buffer + pos, t.Buffer, (size_t)tlen);
        StrLen = oldlen - flen + tlen;
        Buffer[StrLen] = 0;
        start = pos + tlen;
    }
    return *this;
}

STRING& STRING::Strip(char how, const char* chars)
{
    how = (char)toupper((unsigned char)how);
    ASSERT(how=='L' || how=='R' || how=='B');
    if ((how != 'L' && how != 'R' && how != 'B') || Buffer == NULL)
        return *this;
    if (how == 'R' || how == 'B') {
        int n = StrLen;
        while (n > 0 && IsOneOf(Buffer[n - 1], chars))
            n--;
        StrLen = n;
        Buffer[StrLen] = 0;
    }
    if (how == 'L' || how == 'B') {
        int n = 0;
        while (n < StrLen && IsOneOf(Buffer[n], chars))
            n++;
        CutLeft(n);
    }
    return *this;
}

STRING& STRING::ToUpper()
{
    NullGuard(Buffer, "ToUpper");
    if (Buffer)
        _strupr(Buffer);
    return *this;
}

// ---------------------------------------------------------------------------
// Searching

static int Search(const char* buf, int buflen, const char* text, int start, BOOL nocase)
{
    if (buf == NULL || text == NULL)
        return -1;
    if (start < 0)
        start = 0;
    if (start >= buflen)
        return -1;
    int tl = (int)strlen(text);
    for (int i = start; i + tl <= buflen; i++) {
        int k = 0;
        if (nocase)
            while (k < tl && toupper((unsigned char)buf[i + k]) == toupper((unsigned char)text[k]))
                k++;
        else
            while (k < tl && buf[i + k] == text[k])
                k++;
        if (k == tl)
            return i;
    }
    return -1;
}

int STRING::Pos(const char* text, int start) const
{
    const char* buf = NullGuard(Buffer, "Pos Buffer");
    text = NullGuard(text, "Pos str");
    if (buf != Buffer)
        return -1;   // a null string holds nothing to find
    return Search(Buffer, StrLen, text, start, FALSE);
}

int STRING::iPos(const char* text, int start) const
{
    const char* buf = NullGuard(Buffer, "iPos Buffer");
    text = NullGuard(text, "iPos str");
    if (buf != Buffer)
        return -1;
    return Search(Buffer, StrLen, text, start, TRUE);
}

BOOL STRING::Find(const char* text, int* pos, int start) const
{
    int p = Pos(text, start);
    if (pos)
        *pos = p;
    return p >= 0;
}

BOOL STRING::iFind(const char* text, int* pos, int start) const
{
    int p = iPos(text, start);
    if (pos)
        *pos = p;
    return p >= 0;
}

// ---------------------------------------------------------------------------
// Formatting. The limit is passed one below the buffer size and the last byte
// is terminated by hand, so any runtime (C99 count or -1 on overflow, with or
// without terminator) leaves a terminated text and the check below catches
// every result of sizeof(buf)-1 characters or more.

int STRING::Format(const char* format, ...)
{
    char buf[2048];
    va_list args;
    va_start(args, format);
    int result = vsnprintf(buf, sizeof(buf) - 1, format ? format : "", args);
    va_end(args);
    buf[sizeof(buf) - 1] = 0;
    size_t rc = (size_t)result;
    ASSERT(rc<sizeof(buf)-1);
    int len = (rc < sizeof(buf) - 1) ? result : (int)strlen(buf);
    Make(len, buf);
    return result;
}

int STRING::AppendFormat(const char* format, ...)
{
    char buf[4096];
    va_list args;
    va_start(args, format);
    int result = vsnprintf(buf, sizeof(buf) - 1, format ? format : "", args);
    va_end(args);
    buf[sizeof(buf) - 1] = 0;
    size_t rc = (size_t)result;
    ASSERT(rc<sizeof(buf)-1);
    int len = (rc < sizeof(buf) - 1) ? result : (int)strlen(buf);
    Append(buf, len);
    return result;
}

// ---------------------------------------------------------------------------
// Backslash escaping

static const char HexDigits[] = "0123456789abcdef";

// Escape form of one byte: 0 for itself, a letter for "\\<letter>", 'x' for "\\xHH".
static char EscapeCode(unsigned char c, const char* extra)
{
    switch (c) {
    case '\\': return '\\';
    case 0:    return '0';
    case 13:   return 'r';
    case 10:   return 'n';
    case 9:    return 't';
    case 26:   return 'z';
    }
    if (c >= 32 && c <= 127 && !IsOneOf((char)c, extra))
        return 0;
    return 'x';
}

STRING STRING::Escape(const char* extra) const
{
    STRING result;
    if (Buffer == NULL)
        return result;
    long long need = 0;
    for (int i = 0; i < StrLen; i++) {
        char code = EscapeCode((unsigned char)Buffer[i], extra);
        need += code == 0 ? 1 : code == 'x' ? 4 : 2;
    }
    if (need > INT_MAX - 1 || !result.Make((int)need, NULL))
        return STRING();
    char* out = result.Buffer;
    for (int i = 0; i < StrLen; i++) {
        unsigned char c = (unsigned char)Buffer[i];
        char code = EscapeCode(c, extra);
        if (code == 0) {
            *out++ = (char)c;
        } else {
            *out++ = '\\';
            *out++ = code;
            if (code == 'x') {
                *out++ = HexDigits[c >> 4];
                *out++ = HexDigits[c & 15];
            }
        }
    }
    *out = 0;
    return result;
}

static int HexValue(unsigned char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

STRING STRING::Unescape(BOOL keepunknown) const
{
    STRING result;
    if (Buffer == NULL)
        return result;
    if (!result.Make(StrLen, NULL))   // the result is never longer than the source
        return STRING();
    char* out = result.Buffer;
    for (int i = 0; i < StrLen; i++) {
        char c = Buffer[i];
        if (c != '\\') {
            *out++ = c;
            continue;
        }
        if (i + 1 >= StrLen) {
            // A lone backslash at the very end.
            if (keepunknown)
                *out++ = '\\';
            else
                ASSERTINFO(FALSE, Buffer);
            continue;
        }
        char e = Buffer[++i];
        switch (e) {
        case '0':  *out++ = 0;    continue;
        case '\\': *out++ = '\\'; continue;
        case 'n':  *out++ = 10;   continue;
        case 'r':  *out++ = 13;   continue;
        case 't':  *out++ = 9;    continue;
        case 'z':  *out++ = 26;   continue;
        case 'x': {
            // Digits past the end read as 0, so "\\x" at the end never reads beyond.
            unsigned char xdigit[2];
            xdigit[0] = (unsigned char)(i + 1 < StrLen ? Buffer[i + 1] : 0);
            xdigit[1] = (unsigned char)(i + 2 < StrLen ? Buffer[i + 2] : 0);
            BOOL ok0 = isxdigit(xdigit[0]) != 0;
            ASSERT(isxdigit(xdigit[0]));
            BOOL ok1 = ok0 && isxdigit(xdigit[1]) != 0;
            if (ok0)
                ASSERT(isxdigit(xdigit[1]));
            if (ok0 && ok1) {
                *out++ = (char)(HexValue(xdigit[0]) * 16 + HexValue(xdigit[1]));
                i += 2;
                continue;
            }
            // Not a byte: treated as an unknown escape, the digits stay as text.
            if (keepunknown)
                *out++ = '\\';
            *out++ = 'x';
            continue;
        }
        default:
            if (keepunknown)
                *out++ = '\\';
            else
                ASSERTINFO(FALSE, Buffer);
            *out++ = e;
            continue;
        }
    }
    result.StrLen = (int)(out - result.Buffer);
    result.Buffer[result.StrLen] = 0;
    return result;
}

// ---------------------------------------------------------------------------
// Hexadecimal and Base64

STRING STRING::ToHex() const
{
    STRING result;
    if (Buffer == NULL || StrLen == 0)
        return result;
    if (StrLen > (INT_MAX - 1) / 2 || !result.Make(StrLen * 2, NULL))
        return result;
    char* out = result.Buffer;
    for (int i = 0; i < StrLen; i++) {
        unsigned char c = (unsigned char)(*this)[i];
        *out++ = HexDigits[c >> 4];
        *out++ = HexDigits[c & 15];
    }
    *out = 0;
    return result;
}

static const char Base64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

STRING STRING::ToBase64(BOOL wrap) const
{
    STRING result;
    if (Buffer == NULL)
        return result;
    long long groups = ((long long)StrLen + 2) / 3;
    long long need = groups * 4;
    if (wrap)
        need += (groups / 19 + 1) * 2;   // 19 groups make one 76-character line
    if (need > INT_MAX - 1 || !result.Make((int)need, NULL))
        return STRING();
    char* out = result.Buffer;
    int line = 0;
    const unsigned char* in = (const unsigned char*)Buffer;
    for (int i = 0; i < StrLen; i += 3) {
        if (wrap && line + 4 > 76) {
            *out++ = '\r';
            *out++ = '\n';
            line = 0;
        }
        int n = StrLen - i < 3 ? StrLen - i : 3;
        unsigned long v = (unsigned long)in[i] << 16;
        if (n > 1) v |= (unsigned long)in[i + 1] << 8;
        if (n > 2) v |= in[i + 2];
        *out++ = Base64Chars[(v >> 18) & 63];
        *out++ = Base64Chars[(v >> 12) & 63];
        *out++ = n > 1 ? Base64Chars[(v >> 6) & 63] : '=';
        *out++ = n > 2 ? Base64Chars[v & 63] : '=';
        line += 4;
    }
    if (wrap && line > 0) {
        *out++ = '\r';
        *out++ = '\n';
    }
    result.StrLen = (int)(out - result.Buffer);
    *out = 0;
    return result;
}

static int Base64Value(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

STRING STRING::FromBase64() const
{
    STRING result;
    if (Buffer == NULL)
        return result;
    if (!result.Make(StrLen / 4 * 3 + 3, NULL))
        return STRING();
    char* out = result.Buffer;
    unsigned long v = 0;
    int have = 0;
    for (int i = 0; i < StrLen; i++) {
        unsigned char c = (unsigned char)Buffer[i];
        if (c == '=') {
            // Padding ends the data: two or three characters still make whole bytes.
            if (have == 2) {
                *out++ = (char)(v >> 4);
            } else if (have == 3) {
                *out++ = (char)(v >> 10);
                *out++ = (char)(v >> 2);
            }
            break;
        }
        int d = Base64Value(c);
        if (d < 0)
            continue;
        v = (v << 6) | (unsigned long)d;
        if (++have == 4) {
            *out++ = (char)(v >> 16);
            *out++ = (char)(v >> 8);
            *out++ = (char)v;
            v = 0;
            have = 0;
        }
    }
    result.StrLen = (int)(out - result.Buffer);
    *out = 0;
    return result;
}

// ---------------------------------------------------------------------------
// Files

BOOL STRING::Save(const char* filename, const char* mode) const
{
    filename = NullGuard(filename, "STRING::Save");
    if (filename == NULL)
        return FALSE;
    // Written to a new file beside the old one and moved over it in one step,
    // so that a failed or interrupted save leaves the old file whole.
    char folder[MAX_PATH], temp[MAX_PATH];
    snprintf(folder, sizeof(folder), "%s", filename);
    char* cut = NULL;
    for (char* p = folder; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            cut = p;
    if (cut == NULL)
        strcpy(folder, ".");
    else if (*cut == ':' || cut == folder || cut[-1] == ':')
        cut[1] = 0;     // a drive or a root folder keeps its separator
    else
        *cut = 0;
    if (!GetTempFileNameA(folder, "~hs", 0, temp))
        return FALSE;
    FILE* f = _fsopen(temp, mode, _SH_DENYRW);
    if (f == NULL) {
        DeleteFileA(temp);
        return FALSE;
    }
    // A short write, a failed flush or close (full disk) is a failure, not a save.
    BOOL ok = TRUE;
    if (Buffer != NULL && StrLen > 0)
        ok = fwrite(Buffer, 1, (size_t)StrLen, f) == (size_t)StrLen;
    ok = fflush(f) == 0 && _commit(_fileno(f)) == 0 && ok;
    ok = fclose(f) == 0 && ok;
    ok = ok && MoveFileExA(temp, filename, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temp);
    return ok;
}

BOOL STRING::Load(const char* filename, const char* mode)
{
    if (filename == NULL)
        return FALSE;
    FILE* f = _fsopen(filename, mode, _SH_DENYWR);
    if (f == NULL)
        return FALSE;
    // A read error fails the load: the text stays as it was rather than partial.
    STRING text("");
    char chunk[8192];
    for (;;) {
        size_t n = fread(chunk, 1, sizeof(chunk), f);
        if (n > 0)
            text.Append(chunk, (int)n);
        if (n < sizeof(chunk))
            break;
    }
    BOOL ok = !ferror(f);
    fclose(f);
    if (ok)
        Make(text.Len(), text.Str());
    return ok;
}
