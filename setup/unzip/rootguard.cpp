// The extraction root's guard and the engine's own path normaliser.
#include "unzpriv.h"

namespace unz {

std::string NormalisePath(const std::string& absolute)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= absolute.size()) {
        size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string comp = absolute.substr(start, end - start);
        if (comp == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!comp.empty() && comp != ".") {
            parts.push_back(comp);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

ROOTGUARD::ROOTGUARD(ZIPOS& inner, const std::string& root) : ZIPOSFORWARD(inner)
{
    root_ = inner.FullPath(root.empty() ? "." : root.c_str());
    rootKnown_ = !root_.empty();
    if (rootKnown_ && root_.back() == '/')
        root_.pop_back();
}

// Inside means below the root, never the root itself.
bool ROOTGUARD::Admits(const char* path)
{
    if (!last_.empty() && last_ == path)
        return true;
    std::string full = os_.FullPath(path);
    bool inside = rootKnown_ && full.size() > root_.size() + 1 && full.compare(0, root_.size(), root_) == 0 &&
                  full[root_.size()] == '/';
    if (inside)
        last_ = path;
    return inside;
}

bool ROOTGUARD::Check(const char* path)
{
    refused_ = !Admits(path);
    return !refused_;
}

ZIPHANDLE ROOTGUARD::Create(const char* p)
{
    return Check(p) ? os_.Create(p) : ZIP_NOHANDLE;
}

PATHKIND ROOTGUARD::Query(const char* p, PATHINFO* i)
{
    return Check(p) ? os_.Query(p, i) : PATH_NONE;
}

bool ROOTGUARD::MakeDir(const char* p)
{
    return Check(p) && os_.MakeDir(p);
}

bool ROOTGUARD::MakeWritable(const char* p)
{
    return Check(p) && os_.MakeWritable(p);
}

}  // namespace unz
