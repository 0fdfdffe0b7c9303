#include "i18n/PreferenceFile.h"

#include "base/AppFolders.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Follows symlinks: a dangling link, a directory or a device named lang.xml
// counts as no file at all.
bool StatRegularFile(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes the new document beside `target` and renames it over the target, so
// that a crash or a full disk leaves either the old file or the new one,
// never a truncated one. The copy takes the original's mode, and its owner
// where we may set it (only root may give a file away).
bool ReplaceFile(const fs::path& target, const struct stat& original, std::string_view bytes)
{
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = true;
    if (::fchown(fd, original.st_uid, original.st_gid) != 0 && errno != EPERM)
        ok = false;
    // After fchown, which may clear set-id bits.
    ok = ok && ::fchmod(fd, original.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd, bytes);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable; the new file is in place either way.
    const int dirFd = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace

bool IsRegularFile(const std::string& path)
{
    struct stat st
    {};
    return StatRegularFile(path, st);
}

std::optional<std::string> WritableTarget(const std::string& path)
{
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    struct stat st
    {};
    if (ec || !StatRegularFile(target.string(), st))
        return std::nullopt;
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return std::nullopt;
    return target.string();
}

bool IsMissing(const std::string& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

bool CreateFileContents(const std::string& path, std::string_view bytes)
{
    const fs::path target(path);
    if (!MakeFolders(target.parent_path().string() + "/"))
        return false;
    struct stat owner
    {};
    owner.st_uid = ::getuid();
    owner.st_gid = ::getgid();
    owner.st_mode = 0600;
    return ReplaceFile(target, owner, bytes);
}

bool ReplaceFileContents(const std::string& target, std::string_view bytes)
{
    struct stat st
    {};
    if (!StatRegularFile(target, st))
        return false;
    return ReplaceFile(target, st, bytes);
}
