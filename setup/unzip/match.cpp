// Member and archive name patterns: "*" (any run, also across "/"), "?",
// "[...]" sets with ranges and "!" or "^" negation, "\" escapes.
#include "unzpriv.h"
#include <cctype>

namespace unz {

static int Fold(int ch, bool ignoreCase)
{
    ch &= 0xff;
    return ignoreCase ? tolower(ch) : ch;
}

// Matches a set starting after "["; advances `p` past "]". Returns -1 for an
// unterminated set (which then matches nothing).
static int MatchSet(const char*& p, int ch, bool ignoreCase)
{
    bool negate = false;
    if (*p == '!' || *p == '^') {
        negate = true;
        ++p;
    }
    bool hit = false;
    bool first = true;
    while (*p && (*p != ']' || first)) {
        first = false;
        int lo = (unsigned char)*p;
        if (lo == '\\' && p[1]) {
            ++p;
            lo = (unsigned char)*p;
        }
        ++p;
        int hi = lo;
        if (*p == '-' && p[1] && p[1] != ']') {
            ++p;
            hi = (unsigned char)*p;
            if (hi == '\\' && p[1]) {
                ++p;
                hi = (unsigned char)*p;
            }
            ++p;
        }
        int c = Fold(ch, ignoreCase);
        if (Fold(lo, ignoreCase) <= c && c <= Fold(hi, ignoreCase))
            hit = true;
        else if (ignoreCase && lo <= (ch & 0xff) && (ch & 0xff) <= hi)
            hit = true;
    }
    if (*p != ']')
        return -1;
    ++p;
    return hit != negate;
}

bool Match(const char* pattern, const char* name, bool ignoreCase)
{
    const char* p = pattern;
    const char* s = name;
    const char* starP = nullptr;
    const char* starS = nullptr;
    while (*s) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p)
                return true;
            starP = p;
            starS = s;
            continue;
        }
        bool ok = false;
        const char* next = p;
        if (*p == '?') {
            ok = true;
            next = p + 1;
        } else if (*p == '[') {
            next = p + 1;
            int r = MatchSet(next, (unsigned char)*s, ignoreCase);
            if (r < 0)
                return false;
            ok = r == 1;
        } else if (*p) {
            const char* q = p;
            if (*q == '\\' && q[1])
                ++q;
            ok = Fold((unsigned char)*q, ignoreCase) == Fold((unsigned char)*s, ignoreCase);
            next = q + 1;
        }
        if (ok) {
            p = next;
            ++s;
        } else if (starP) {
            p = starP;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (*p == '*')
        ++p;
    return !*p;
}

bool HasWild(const char* s)
{
    for (; *s; ++s) {
        if (*s == '\\' && s[1])
            ++s;
        else if (*s == '*' || *s == '?' || *s == '[')
            return true;
    }
    return false;
}

}  // namespace unz
