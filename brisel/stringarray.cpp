// STRINGARRAY and KEYTABLE: string lists, the line reader, and the key=value
// text form.
#include "brisel/stringarray.h"
#include "brisel/halvo.h"

#include <algorithm>
#include <vector>
#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// ---------------------------------------------------------------------------
// STRINGARRAY

STRINGARRAY::STRINGARRAY()
{
}

STRINGARRAY::STRINGARRAY(const STRING& text, const char* separators)
{
    // Same fields as Word 0, 1, 2, ... until Word yields null, in one pass.
    if (text.IsNull())
        return;
    const char* p = text.Str();
    int len = text.Len();
    int sepcount = separators ? (int)strlen(separators) : 0;
    int start = 0;
    for (int i = 0; i <= len; i++) {
        if (i == len || (sepcount > 0 && memchr(separators, p[i], (size_t)sepcount))) {
            STRING item;
            item.Make(i - start, p + start);
            Add(item);
            start = i + 1;
        }
    }
}

STRINGARRAY::STRINGARRAY(const STRINGARRAY& other)
    : DYNARRAY(other)
{
}

STRINGARRAY& STRINGARRAY::operator=(const STRINGARRAY& other)
{
    DYNARRAY::operator=(other);
    return *this;
}

STRINGARRAY::~STRINGARRAY()
{
}

int STRINGARRAY::Compare(const STRING* a, const STRING* b, DWORD flags)
{
    if (flags & 1) {
        long long d = (long long)(a ? a->Atoi() : 0) - (long long)(b ? b->Atoi() : 0);
        return d > INT_MAX ? INT_MAX : d < INT_MIN ? INT_MIN : (int)d;
    }
    const char* pa = a ? a->Str() : NULL;
    const char* pb = b ? b->Str() : NULL;
    if (pa == NULL || pb == NULL)
        return (pa ? 1 : 0) - (pb ? 1 : 0);
    int la = a->Len(), lb = b->Len();
    int c = memcmp(pa, pb, (size_t)(la < lb ? la : lb));
    if (c == 0)
        c = la - lb;
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

BOOL STRINGARRAY::Insert(int pos, const STRING& item)
{
    Lock();
    BOOL ok = DYNARRAY::Insert(pos, std::make_unique<STRING>(item));
    Unlock();
    return ok;
}

BOOL STRINGARRAY::Add(const STRING& item)
{
    Lock();
    BOOL ok = DYNARRAY::Insert(ItemCount, std::make_unique<STRING>(item));
    Unlock();
    return ok;
}

// Inserts one line read by LoadLines at pos and empties the line buffer.
BOOL STRINGARRAY::AddLine(STRING& line, int pos, BOOL unescape)
{
    STRING item;
    if (line.IsNull())
        item.Make(0, "");
    else if (unescape)
        item = line.Unescape(FALSE);
    else
        item.Make(line.Len(), line.Str());
    line.Make(0, "");
    return Insert(pos, item);
}

int STRINGARRAY::LoadLines(const char* filename, BOOL unescape)
{
    if (filename == NULL)
        return 0;
    FILE* f = _fsopen(filename, "r", _SH_DENYWR);
    if (f == NULL)
        return 0;
    const int bufsize = 32768;
    char* buf = (char*)malloc(bufsize);
    if (buf == NULL) {
        fclose(f);
        return 0;
    }
    // Lines are cut at "\n" in what the text-mode reads return, so a line of
    // any length (or one holding a zero byte) is assembled whole.
    STRING line(256);
    int added = 0;
    Lock();
    for (;;) {
        size_t got = fread(buf, 1, (size_t)bufsize, f);
        if (got == 0)
            break;
        size_t from = 0;
        while (from < got) {
            const char* nl = (const char*)memchr(buf + from, '\n', got - from);
            size_t to = nl ? (size_t)(nl - buf) : got;
            line.Append(buf + from, (int)(to - from));
            from = to;
            if (nl == NULL)
                break;
            from++;
            if (AddLine(line, added, unescape))
                added++;
        }
    }
    // At the end of the file only a non-empty rest counts as a line. A read
    // error fails the load: the lines read so far go again.
    if (ferror(f)) {
        while (added > 0)
            Delete(--added);
    } else if (line.Len() > 0 && AddLine(line, added, unescape))
        added++;
    Unlock();
    free(buf);
    fclose(f);
    return added;
}

// ---------------------------------------------------------------------------
// KEYTABLE

int KEYTABLE::KeyCompare(const char* a, const char* b)
{
    a = STRING::NullGuard(a, "stricmp p1");
    b = STRING::NullGuard(b, "stricmp p2");
    if (a == NULL || b == NULL)
        return (a ? 1 : 0) - (b ? 1 : 0);
    const unsigned char* p = (const unsigned char*)a;
    const unsigned char* q = (const unsigned char*)b;
    for (;; p++, q++) {
        int c1 = (*p >= 'A' && *p <= 'Z') ? *p + 32 : *p;
        int c2 = (*q >= 'A' && *q <= 'Z') ? *q + 32 : *q;
        if (c1 != c2 || c1 == 0)
            return c1 - c2;
    }
}

KEYTABLE::KEYTABLE()
    : Handle(0), LockTable(FALSE)
{
}

KEYTABLE::KEYTABLE(const STRING& text)
    : Handle(0), LockTable(FALSE)
{
    Parse(text);
}

KEYTABLE::KEYTABLE(const KEYTABLE& other)
    : Handle(other.Handle), Keys(other.Keys), Values(other.Values), LockTable(other.LockTable), Key(other.Key)
{
}

KEYTABLE& KEYTABLE::operator=(const KEYTABLE& other)
{
    if (this != &other) {
        Keys.Lock();
        Values.Lock();
        Handle = other.Handle;
        Keys = other.Keys;
        Values = other.Values;
        LockTable = other.LockTable;
        Key = other.Key;
        Values.Unlock();
        Keys.Unlock();
    }
    return *this;
}

KEYTABLE::~KEYTABLE()
{
}

int KEYTABLE::Count()
{
    return Keys.Count();
}

STRING* KEYTABLE::KeyAt(int i)
{
    return Keys.Get(i);
}

STRING* KEYTABLE::ValueAt(int i)
{
    return Values.Get(i);
}

int KEYTABLE::IndexOf(const char* key)
{
    int found = -1;
    Keys.Lock();
    int n = Keys.Count();
    for (int i = 0; i < n; i++) {
        int c = KeyCompare(Keys.Slots[i]->Str(), key);
        if (c == 0)
            found = i;
        if (c >= 0)
            break;   // sorted: the key cannot come later
    }
    Keys.Unlock();
    return found;
}

BOOL KEYTABLE::Exists(const char* key)
{
    return IndexOf(key) != -1;
}

STRING& KEYTABLE::operator[](const char* key)
{
    if (key == NULL)
        key = STRING::NullGuard(key, NULL);
    if (key == NULL)
        key = "";
    Keys.Lock();
    Values.Lock();
    int n = Keys.Count();
    int i = 0;
    for (; i < n; i++) {
        int c = KeyCompare(Keys.Slots[i]->Str(), key);
        if (c == 0) {
            STRING& value = *Values.Slots[i];
            Values.Unlock();
            Keys.Unlock();
            return value;
        }
        if (c > 0)
            break;
    }
    ASSERTINFO(!this->LockTable, key);
    Keys.Insert(i, STRING(key));
    Values.Insert(i, STRING());
    STRING& value = *Values.Slots[i];
    Values.Unlock();
    Keys.Unlock();
    return value;
}

BOOL KEYTABLE::Remove(const char* key)
{
    BOOL removed = FALSE;
    Keys.Lock();
    Values.Lock();
    int n = Keys.Count();
    for (int i = 0; i < n; i++) {
        if (*Keys.Slots[i] == key) {
            Keys.Delete(i);
            Values.Delete(i);
            removed = TRUE;
            break;
        }
    }
    Values.Unlock();
    Keys.Unlock();
    return removed;
}

STRINGARRAY KEYTABLE::GetKeys()
{
    Keys.Lock();
    STRINGARRAY keys(Keys);
    Keys.Unlock();
    return keys;
}

// Stable sort by key order: entries with equal keys keep their order, so a
// lookup sees the first of several equal keys of a file.
void KEYTABLE::Sort()
{
    Keys.Lock();
    Values.Lock();
    int n = Keys.Count();
    std::vector<int> order(n);
    for (int i = 0; i < n; i++)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return KeyCompare(Keys.Slots[a]->Str(), Keys.Slots[b]->Str()) < 0;
    });
    std::vector<DYNARRAY::SLOT> keys(n), values(n);
    for (int i = 0; i < n; i++) {
        keys[i] = std::move(Keys.Slots[order[i]]);
        values[i] = std::move(Values.Slots[order[i]]);
    }
    for (int i = 0; i < n; i++) {
        Keys.Slots[i] = std::move(keys[i]);
        Values.Slots[i] = std::move(values[i]);
    }
    Values.Unlock();
    Keys.Unlock();
}

// Raw value of the text form to value: "={{...}}" is Base64 of binary bytes,
// anything else backslash escapes.
static STRING DecodeValue(const STRING& raw)
{
    int len = raw.Len();
    const char* p = raw.Str();
    if (len >= 5 && memcmp(p, "={{", 3) == 0 && memcmp(p + len - 2, "}}", 2) == 0) {
        STRING value = raw.Mid(3, len - 5).FromBase64();
        value.SetFlags(value.GetFlags() | STRINGFLAG_BINARY);
        return value;
    }
    return raw.Unescape(FALSE);
}

static void EncodeValue(STRING& text, const STRING& value)
{
    if (value.IsNull())
        return;
    if (value.GetFlags() & STRINGFLAG_BINARY) {
        text.Append("={{", 3);
        text.Append(value.ToBase64(FALSE));
        text.Append("}}", 2);
    } else {
        text.Append(value.Escape("={}"));
    }
}

void KEYTABLE::Parse(const STRING& text)
{
    if (text.IsNull())
        return;
    const char* p = text.Str();
    int len = text.Len();
    int start = 0;
    while (start <= len) {
        const char* nl = (const char*)memchr(p + start, '\n', (size_t)(len - start));
        int end = nl ? (int)(nl - p) : len;
        STRING item;
        item.Make(end - start, p + start);
        start = end + 1;
        if (item.Len() == 0)
            continue;
        ASSERTINFO(item.Find("="), item.Str());
        int eq = item.Pos("=");
        if (eq < 0)
            continue;   // no key and value on this line: skipped
        STRING key = item.Left(eq);
        STRING value = DecodeValue(item.Mid(eq + 1, -1));
        if (KeyCompare(key, "#Handle") == 0)
            Handle = (int)atol(value.Str() ? value.Str() : "");
        else if (KeyCompare(key, "#Key") == 0)
            Key = value;
        else {
            Keys.Add(key);
            Values.Add(value);
        }
    }
    Sort();
}

STRING KEYTABLE::ToText()
{
    STRING text;
    text.Make(0, "");
    Keys.Lock();
    Values.Lock();
    if (Handle != 0)
        text.AppendFormat("#Handle=%d\n", Handle);
    if (!Key.IsNull()) {
        // Escaped like a value, so that the reader's unescaping gives it back.
        text.Append("#Key=", 5);
        EncodeValue(text, Key);
        text.Append("\n", 1);
    }
    int n = Keys.Count();
    for (int i = 0; i < n; i++) {
        text.Append(*Keys.Slots[i]);
        text.Append("=", 1);
        EncodeValue(text, *Values.Slots[i]);
        text.Append("\n", 1);
    }
    Values.Unlock();
    Keys.Unlock();
    return text;
}

BOOL KEYTABLE::SaveToFile(const char* filename)
{
    return ToText().Save(filename, "w");
}

BOOL KEYTABLE::LoadFromFile(const char* filename)
{
    STRING text;
    if (!text.Load(filename, "r"))
        return FALSE;
    KEYTABLE loaded(text);
    *this = loaded;
    return TRUE;
}
