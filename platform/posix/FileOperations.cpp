// Deleting and copying with std::filesystem.
#include "platform/FileOperations.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace Norvane::Platform {
namespace {

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

bool RemoveItem(const std::string& Path) {
    std::error_code ec;
    if (Path.empty() || !fs::exists(fs::symlink_status(Path, ec)))
        return false;
    // remove_all removes a symbolic link itself, not the folder it points to.
    fs::remove_all(Path, ec);
    return !ec;
}

bool CopyItem(const std::string& FromPath, const std::string& ToPath) {
    if (FromPath.empty() || ToPath.empty())
        return false;
    std::error_code ec;
    fs::path from = fs::path(WithoutTrailingSeparators(FromPath)).lexically_normal();
    fs::path to = fs::path(WithoutTrailingSeparators(ToPath)).lexically_normal();
    fs::file_status source = fs::status(from, ec);
    if (ec || !fs::exists(source))
        return false;
    fs::path target = to;
    if (fs::is_directory(to, ec) && !from.filename().empty())
        target = to / from.filename();
    if (fs::is_directory(source)) {
        // A folder copied onto itself or into its own subtree would never end.
        fs::path canonicalFrom = fs::weakly_canonical(from, ec);
        if (ec)
            return false;
        fs::path canonicalTarget = fs::weakly_canonical(target, ec);
        if (ec)
            return false;
        auto [fromEnd, targetIt] = std::mismatch(canonicalFrom.begin(), canonicalFrom.end(),
                                                 canonicalTarget.begin(), canonicalTarget.end());
        if (fromEnd == canonicalFrom.end())
            return false;
        fs::create_directories(target, ec);
        if (ec)
            return false;
        fs::copy(from, target,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing |
                     fs::copy_options::copy_symlinks,
                 ec);
        return !ec;
    }
    if (fs::exists(target, ec) && fs::equivalent(from, target, ec))
        return false;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
        if (ec)
            return false;
    }
    fs::copy_file(from, target, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

} // namespace Norvane::Platform
