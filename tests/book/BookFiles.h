#pragma once

// A temporary folder for book files, and raw access to them: what another
// program (or an older Vindrel) would leave there.
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

class BookFolder
{
public:
    BookFolder();
    ~BookFolder();
    BookFolder(const BookFolder&) = delete;
    BookFolder& operator=(const BookFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Book() const { return (m_path / "servers.db").string(); }
    // The files in the folder whose names start with `prefix`.
    std::vector<std::filesystem::path> Files(const std::string& prefix) const;

private:
    std::filesystem::path m_path;
};

std::string ReadAll(const std::filesystem::path& file);
void WriteAll(const std::filesystem::path& file, const std::string& bytes);

// A connection of its own, as another program holds one.
class RawBook
{
public:
    explicit RawBook(const std::string& path);
    ~RawBook();
    RawBook(const RawBook&) = delete;
    RawBook& operator=(const RawBook&) = delete;
    // SQLITE_OK or the failure's result code.
    int Exec(const std::string& sql);
    long long Int(const std::string& sql);
    std::string Text(const std::string& sql);
    sqlite3* Db() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};
