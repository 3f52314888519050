// STRING: the program's byte string. Owns a growable, zero-terminated buffer
// and keeps its length apart, so it may hold any bytes. A null string (no
// buffer) is distinct from the empty string.
#pragma once
#include <windows.h>
#include <stdio.h>

#define STRINGFLAG_BINARY    0x0001  // content is arbitrary bytes
#define STRINGFLAG_DYNABLOCK 0x0002  // block size follows the buffer size

#define STRING_BLOCKSIZE     96      // default block, the size the pool recycles

// Lets the compiler check Format arguments (a STRING passed for "%s" is a fault).
#ifdef __GNUC__
#define STRING_PRINTF(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#else
#define STRING_PRINTF(f, a)
#endif

// Flags of Word(): low 16 bits non-zero = rest of the text from the field on.
#define WORD_REST            0x0001
#define WORD_EMPTYNOTNULL    0x10000 // a field that does not exist reads as ""

class STRING
{
public:
    STRING();                           // null string
    STRING(const char* text);           // copy of text; NULL gives the null string
    explicit STRING(int blocksize);     // null string growing by blocksize
    STRING(const STRING& other);
    ~STRING();

    STRING& operator=(const STRING& other);
    STRING& operator=(const char* text);

    // Storage
    BOOL Make(int l, const char* text);    // sizes the buffer for l bytes; copies text if given
    void Clear();                          // back to the null string

    // Accessors
    int Len() const { return StrLen; }
    BOOL IsNull() const { return Buffer == NULL; }
    const char* Str() const { return Buffer; }        // NULL for the null string
    operator const char*() const { return Buffer; }
    char operator[](int i) const;                     // reads byte i (i < length)
    char& At(int i);                                  // writable byte i, terminator admitted
    int Atoi() const;                                 // leading decimal number, null reads 0
    DWORD GetFlags() const { return Flags; }
    void SetFlags(DWORD flags) { Flags = flags; }
    int GetBlockSize() const { return BlockSize; }
    int GetBufLen() const { return BufLen; }

    // Comparison: case-insensitive; == and != are null-aware, the ordering
    // treats a null string as the text "<NULL>".
    bool operator==(const STRING& other) const;
    bool operator==(const char* text) const;
    bool operator!=(const STRING& other) const { return !(*this == other); }
    bool operator!=(const char* text) const { return !(*this == text); }
    bool operator<(const STRING& other) const;
    bool operator<(const char* text) const;
    bool operator<=(const STRING& other) const;
    bool operator<=(const char* text) const;
    bool operator>(const STRING& other) const;
    bool operator>(const char* text) const;
    bool operator>=(const STRING& other) const;
    bool operator>=(const char* text) const;

    // Substrings (new strings)
    STRING Mid(int pos, int len) const;
    STRING Left(int n) const;
    STRING Right(int n) const;
    STRING Word(int index, const char* separators, DWORD flags = 0) const;

    // Editing in place
    STRING& Append(const char* text, int len = -1);
    STRING& Append(const STRING& other);
    STRING& Truncate(int newlength);
    STRING& CutLeft(int howmany);
    STRING& CutRight(int howmany);
    STRING& InsertChar(int howmany, int pos, char ch);
    STRING& Insert(const char* text, int pos);
    STRING& Replace(const char* from, const char* to, BOOL exact);
    STRING& Strip(char how, const char* chars);
    STRING& ToUpper();

    // Searching: position or -1
    int Pos(const char* text, int start = 0) const;
    int iPos(const char* text, int start = 0) const;
    BOOL Find(const char* text, int* pos = NULL, int start = 0) const;
    BOOL iFind(const char* text, int* pos = NULL, int start = 0) const;

    // Formatting: the formatter's result
    int Format(const char* format, ...) STRING_PRINTF(2, 3);
    int AppendFormat(const char* format, ...) STRING_PRINTF(2, 3);

    // Encodings (new strings)
    STRING Escape(const char* extra = NULL) const;
    STRING Unescape(BOOL keepunknown) const;
    STRING ToHex() const;
    STRING ToBase64(BOOL wrap) const;
    STRING FromBase64() const;

    // Files: TRUE when the whole file was written or read. Save replaces the
    // file in one step (an old file stays whole when it fails); a failed Load
    // leaves the string as it was.
    BOOL Save(const char* filename, const char* mode) const;
    BOOL Load(const char* filename, const char* mode);

    // Buffer pool: frees the held blocks; afterwards strings use the heap directly.
    static void ShutdownPool();
    static int PoolHeld();              // blocks on the free list (diagnostics)

    // Null text guard: "<NULL>" (or NULL, by HALVOFAILONNULL) for a null pointer.
    static const char* NullGuard(const char* p, const char* label);

private:
    char* Buffer;
    int StrLen;
    int BufLen;
    int BlockSize;
    DWORD Flags;
};

STRING operator||(const STRING& left, const char* right);
STRING operator||(const STRING& left, const STRING& right);
STRING operator||(const char* left, const STRING& right);

inline bool operator==(const char* text, const STRING& s) { return s == text; }
inline bool operator!=(const char* text, const STRING& s) { return !(s == text); }
inline bool operator<(const char* text, const STRING& s) { return s > text; }
inline bool operator<=(const char* text, const STRING& s) { return s >= text; }
inline bool operator>(const char* text, const STRING& s) { return s < text; }
inline bool operator>=(const char* text, const STRING& s) { return s <= text; }
