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
    m_root = inner.FullPath(root.empty() ? "." : root.c_str());
    m_rootKnown = !m_root.empty();
    if (m_rootKnown && m_root.back() == '/')
        m_root.pop_back();
}

// Inside means below the root, never the root itself.
bool ROOTGUARD::Admits(const char* path)
{
    if (!m_last.empty() && m_last == path)
        return true;
    std::string full = m_os.FullPath(path);
    bool inside = m_rootKnown && full.size() > m_root.size() + 1 && full.compare(0, m_root.size(), m_root) == 0 &&
                  full[m_root.size()] == '/';
    if (inside)
        m_last = path;
    return inside;
}

bool ROOTGUARD::Check(const char* path)
{
    m_refused = !Admits(path);
    return !m_refused;
}

ZIPHANDLE ROOTGUARD::Create(const char* p)
{
    return Check(p) ? m_os.Create(p) : ZIP_NOHANDLE;
}

PATHKIND ROOTGUARD::Query(const char* p, PATHINFO* i)
{
    return Check(p) ? m_os.Query(p, i) : PATH_NONE;
}

bool ROOTGUARD::MakeDir(const char* p)
{
    return Check(p) && m_os.MakeDir(p);
}

bool ROOTGUARD::MakeWritable(const char* p)
{
    return Check(p) && m_os.MakeWritable(p);
}

}  // namespace unz
