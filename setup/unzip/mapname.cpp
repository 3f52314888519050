// From a member's stored name to a path under the extraction root: "/" and "\"
// start a folder, ":" becomes "_", control characters are dropped. Whether the
// result is safe is decided on that result, never on the stored name.
#include "unzpriv.h"
#include <cctype>
#include <cstring>
#include <vector>

namespace unz {

static bool IsFat()
{
    if (!G->fsKnown) {
        std::string fs = G->os->VolumeFsName(G->root.empty() ? "." : G->root.c_str());
        G->fsFat = fs.compare(0, 3, "FAT") == 0;
        G->fsKnown = true;
    }
    return G->fsFat;
}

// Device names would reach a device instead of a file on Windows.
static void GuardDevice(std::string& comp)
{
    static const char* devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    std::string base = comp.substr(0, comp.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& ch : base)
        ch = (char)toupper((unsigned char)ch);
    bool device = false;
    for (const char* d : devices)
        if (base == d)
            device = true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
        base[3] <= '9')
        device = true;
    if (device)
        comp = "_" + comp;
}

// The FAT 8.3 form of a component the file system refused.
static std::string To83(const std::string& comp)
{
    std::string s = comp;
    for (char& ch : s)
        if (strchr("[]<>:\"|?*", ch))
            ch = '_';
    size_t lastDot = s.rfind('.');
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == '.' && i != lastDot)
            s[i] = '_';
    std::string base = lastDot == std::string::npos ? s : s.substr(0, lastDot);
    std::string ext = lastDot == std::string::npos ? std::string() : s.substr(lastDot + 1);
    if (base.size() > 8)
        base.resize(8);
    if (ext.size() > 3)
        ext.resize(3);
    return lastDot == std::string::npos ? base : base + "." + ext;
}

static void FitComponent(const std::string& dir, std::string& comp)
{
    GuardDevice(comp);
    if (!G->os->NameValid(dir.empty() ? "." : dir.c_str(), comp.c_str()))
        comp = To83(comp);
}

static bool MakeDirs(const std::string& path)
{
    std::string sofar;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        sofar = path.substr(0, end);
        if (!sofar.empty() && !(sofar.size() == 2 && sofar[1] == ':')) {
            PATHKIND k = G->os->Query(sofar.c_str(), nullptr);
            if (k == PATH_FILE)
                return false;
            if (k == PATH_NONE && !G->os->MakeDir(sofar.c_str()))
                return false;
        }
        start = end + 1;
    }
    return true;
}

int SetRoot(const std::string& dirIn)
{
    std::string dir = dirIn;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.size() == 2 && dir[1] == ':')
        dir += '.';
    if (dir.empty()) {
        G->root.clear();
        return UNZ_OK;
    }
    if (dir != "/" && G->os->Query(dir.c_str(), nullptr) != PATH_DIR) {
        if (G->o.f || !MakeDirs(dir)) {
            Out(2, "checkdir:  can't create extraction directory: %s\n", dir.c_str());
            OutputFailed(dir);
            return UNZ_BADERR;
        }
    }
    G->root = dir == "/" ? dir : dir + "/";
    return UNZ_OK;
}

// A component that climbs out of its folder: "..", also written with more dots
// or with blanks, which Windows drops at the end of a name.
static bool Climbs(const std::string& comp)
{
    int dots = 0;
    for (char ch : comp) {
        if (ch == '.')
            ++dots;
        else if (ch != ' ')
            return false;
    }
    return dots >= 2;
}

static int Unsafe(const MEMBER& m)
{
    Out(2, "   skipping: %-22s  unsafe \"..\" path component\n", m.name.c_str());
    return UNZ_ERR;
}

// Creates one folder of a member's path unless it is there. The folders met
// in a run are remembered: most members share theirs.
static int MakeFolder(const std::string& folder, bool& created, const MEMBER& m)
{
    if (G->folders.count(folder))
        return UNZ_OK;
    PATHKIND k = G->out->Query(folder.c_str(), nullptr);
    if (k == PATH_NONE) {
        if (G->o.f)
            return MPN_SKIP;
        if (!G->out->MakeDir(folder.c_str())) {
            if (G->out->Refused())
                return Unsafe(m);
            Out(2, "checkdir error:  can't create %s\n                 unable to process %s.\n", folder.c_str(),
                m.name.c_str());
            OutputFailed(folder);
            return UNZ_BADERR;
        }
        created = true;
    } else if (k == PATH_FILE) {
        Out(2, "checkdir error:  %s exists but is not directory\n                 unable to process %s.\n",
            folder.c_str(), m.name.c_str());
        OutputFailed(folder);
        return UNZ_BADERR;
    }
    G->folders.insert(folder);
    return UNZ_OK;
}

static int VolumeLabel(const MEMBER& m)
{
    const char* where = G->root.empty() ? "." : G->root.c_str();
    bool removable = G->os->IsRemovable(where);
    if (!G->o.dollar || (G->o.dollar == 1 && !removable)) {
        Out(2, "   skipping: %-22s  %svolume label\n", m.name.c_str(), G->o.dollar ? "hard disk " : "");
        return MPN_VOL_LABEL;
    }
    std::string drive = G->root.size() >= 2 && G->root[1] == ':' ? G->root.substr(0, 2) : std::string();
    Out(1, "labelling %s %-22s\n", drive.c_str(), m.name.c_str());
    if (!G->os->SetLabel(where, m.name.c_str())) {
        Out(2, "mapname:  error setting volume label\n");
        return UNZ_BADERR;
    }
    return MPN_VOL_LABEL;
}

// A stored name as components: its folders, then its own name (empty for a
// folder entry) with where a ";" stands in it, for a VMS version.
struct SPLITNAME {
    std::vector<std::string> comps;
    std::string last;
    size_t semicolon = std::string::npos;
};

// "/" and "\" start a new component; ^V takes the next character literally
// (":" as "_"); a blank is "_" on FAT; control characters are dropped.
static SPLITNAME SplitName(const std::string& name, bool fat)
{
    SPLITNAME s;
    std::string& comp = s.last;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char ch = (unsigned char)name[i];
        if (ch == 0x16 && i + 1 < name.size()) {
            unsigned char lit = (unsigned char)name[++i];
            if (lit == ':')
                comp += '_';
            else if (lit >= 0x20 && lit != 0x7f && lit != 0xff && lit != '/' && lit != '\\')
                comp += (char)lit;
            continue;
        }
        if (ch == '/' || ch == '\\') {
            if (!comp.empty())
                s.comps.push_back(comp);
            comp.clear();
            s.semicolon = std::string::npos;
        } else if (ch == ' ') {
            comp += fat ? '_' : ' ';
        } else if (ch == ':') {
            comp += '_';
        } else if (ch == ';') {
            s.semicolon = comp.size();
            comp += ';';
        } else if ((ch >= 0x20 && ch < 0x7f) || (ch >= 0x80 && ch <= 0xfe)) {
            comp += (char)ch;
        }
    }
    return s;
}

// Each folder fitted to the file system and joined under the root: `path`
// ends with "/" (the root itself without folders), `folders` holds each
// folder's path. UNZ_MEM for a path that grows too long.
static int JoinFolders(std::vector<std::string>& comps, std::string& path, std::vector<std::string>& folders)
{
    path = G->root;
    for (std::string& f : comps) {
        FitComponent(path, f);
        std::string next = path + f;
        if (next.size() + 1 > 258) {
            Out(2, "checkdir error:  path too long: %s\n", next.c_str());
            return UNZ_MEM;
        }
        folders.push_back(next);
        path = next + "/";
    }
    return UNZ_OK;
}

// The file's own name below `path` into `full`: a VMS version dropped
// (unless -V), the name fitted to the file system, the whole cut at 260
// characters. UNZ_OK, UNZ_WARN when cut, or the code of a name that cannot be made.
static int FileName(const MEMBER& m, const std::string& path, SPLITNAME& s, std::string& full)
{
    std::string& comp = s.last;
    if (!G->o.V && s.semicolon != std::string::npos) {
        bool digits = true;
        for (size_t i = s.semicolon + 1; i < comp.size(); ++i)
            if (!isdigit((unsigned char)comp[i]))
                digits = false;
        if (digits)
            comp.resize(s.semicolon);
    }
    if (comp.empty()) {
        Out(2, "mapname:  conversion of %s failed\n", m.name.c_str());
        return UNZ_BADERR;
    }
    FitComponent(path, comp);
    full = path + comp;
    if (full.size() <= 260)
        return UNZ_OK;
    if (path.size() >= 260) {
        Out(2, "checkdir error:  path too long: %s\n", full.c_str());
        return UNZ_MEM;
    }
    std::string cut = full.substr(0, 260);
    Out(2, "checkdir warning:  path too long; truncating\n                   %s\n                -> %s\n",
        full.c_str(), cut.c_str());
    full = cut;
    return UNZ_WARN;
}

int MapName(const MEMBER& m, bool isDir)
{
    if (m.volLabel)
        return VolumeLabel(m);
    std::string name = m.name;
    if (isDir && (name.empty() || name.back() != '/'))
        name += '/';
    if (G->o.j) {
        size_t slash = name.find_last_of("/\\");
        if (slash != std::string::npos)
            name = name.substr(slash + 1);
        if (name.empty())
            return MPN_SKIP;       // a folder entry has nothing left
    }

    SPLITNAME s = SplitName(name, G->o.s || IsFat());
    if (isDir && s.comps.empty())
        return MPN_SKIP;           // the root itself
    std::string path;
    std::vector<std::string> folders;
    int r = JoinFolders(s.comps, path, folders);
    if (r)
        return r;
    std::string full = folders.empty() ? path : folders.back();
    if (!isDir) {
        r = FileName(m, path, s, full);
        if (r > UNZ_WARN)
            return r;
        s.comps.push_back(full.substr(path.size()));
    }

    // Safe or not is decided on the path the mapping made, before anything is
    // created: no component may climb, and the whole must lie inside the root.
    for (const std::string& c : s.comps)
        if (Climbs(c))
            return Unsafe(m);
    if (!G->out->Admits(full.c_str()))
        return Unsafe(m);

    G->mapFolders = folders;
    G->filename = isDir ? path : full;
    return r;
}

int MakeFolders(const MEMBER& m, bool isDir)
{
    bool created = false;
    for (const std::string& f : G->mapFolders) {
        int k = MakeFolder(f, created, m);
        if (k)
            return k;
    }
    if (!isDir)
        return UNZ_OK;
    if (created) {
        if (!G->o.q)
            Out(1, "   creating: %-22s\n", G->filename.c_str());
        return MPN_CREATED_DIR;
    }
    return MPN_SKIP;
}

}  // namespace unz
