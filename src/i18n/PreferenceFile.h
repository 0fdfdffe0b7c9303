#pragma once

#include <optional>
#include <string>
#include <string_view>

// The file system's side of the language preference file: what counts as the
// file, which file a save replaces and how. POSIX in PreferenceFile.cpp,
// Windows in PreferenceFile_win.cpp. Paths are 8-bit text in the locale's
// character set (base/LocaleText.h).

// True when `path` names a regular file, links followed: a dangling link, a
// folder or a device counts as no file at all.
bool IsRegularFile(const std::string& path);

// The file a save of `path` replaces: the final target of links, when it is a
// regular file this user may write. Empty otherwise.
std::optional<std::string> WritableTarget(const std::string& path);

// Writes `bytes` beside `target` and moves them over it in one step, keeping
// the target's permissions, so that a crash or a full disk leaves either the
// old file or the new one, never a truncated one. False, with the target as
// it was and no file left behind, when any step fails.
bool ReplaceFileContents(const std::string& target, std::string_view bytes);

// True when nothing at all is at `path`, not even a dangling link.
bool IsMissing(const std::string& path);

// Writes `bytes` as a new file at `path`, private to the user, making its
// folder and the folder's missing parents (private too) first; written
// beside it and moved into place like a replacement.
bool CreateFileContents(const std::string& path, std::string_view bytes);
