#include "util/folders.h"

#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <direct.h>
#endif

namespace {

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFDIR) != 0;
}

bool MakeOne(const std::string& path) {
#ifdef _WIN32
    int made = _mkdir(path.c_str());
#else
    int made = mkdir(path.c_str(), 0777);
#endif
    return made == 0 || (errno == EEXIST && IsFolder(path));
}

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

}  // namespace

bool MakeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    if (IsFolder(folder)) return true;
    // Each prefix that ends before a separator, then the whole: "C:" and "" are skipped.
    for (std::size_t i = 1; i < folder.size(); ++i) {
        if (!IsSeparator(folder[i]) || IsSeparator(folder[i - 1])) continue;
        std::string prefix = folder.substr(0, i);
        if (prefix.back() == ':' || IsFolder(prefix)) continue;
        if (!MakeOne(prefix)) return false;
    }
    return MakeOne(folder);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char last = folder.back();
    if (last == '/' || last == '\\') return folder + name;
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}
