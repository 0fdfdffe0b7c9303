#include "book/BookFile.h"

#include "base/ErrorText.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

std::string SqliteFileName(const std::string& path) { return path; }

std::string RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    // A file system without the flag: the check and the rename are not one
    // step, but the name holds a time to the second and nobody else makes it.
    if (errno == EINVAL || errno == ENOSYS) {
        if (FileExists(to))
            return ErrorText(EEXIST);
        if (std::rename(from.c_str(), to.c_str()) == 0)
            return {};
    }
    return ErrorText(errno);
}

bool FileExists(const std::string& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsDiskFull(int systemError) { return systemError == ENOSPC || systemError == EDQUOT; }
