#pragma once

#include <string>

// The file-system side of the book, per platform (BookFile.cpp,
// BookFile_win.cpp). Paths are 8-bit text in the file system's encoding.

// The name SQLite wants for `path` (UTF-8 on Windows, the bytes elsewhere).
std::string SqliteFileName(const std::string& path);

// Renames `from` to `to` unless `to` exists; never replaces a file. Empty
// on success, else why not in a few words.
std::string RenameNoReplace(const std::string& from, const std::string& to);

bool FileExists(const std::string& path);

// Whether a system error number (sqlite3_system_errno) says the disk is full.
bool IsDiskFull(int systemError);
