#include "platform/StaleCopies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

std::size_t RemoveStaleCopies(const std::string& dir,
                              const std::function<bool(std::string_view name)>& isCopy) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    std::size_t removed = 0;
    while (const dirent* e = ::readdir(d)) {
        if (!isCopy(e->d_name)) continue;
        // Only plain files: whatever else carries the name is not ours to remove.
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::unlinkat(::dirfd(d), e->d_name, 0) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace kestrel
