#include "BookFiles.h"

#include <cstdlib>
#include <random>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

BookFolder::BookFolder()
{
    // A name nobody else makes: create_directory fails on one that exists.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("vindrel-book-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec))
            m_path = candidate;
    }
}

BookFolder::~BookFolder()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::vector<fs::path> BookFolder::Files(const std::string& prefix) const
{
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(m_path))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            found.push_back(e.path());
    return found;
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void WriteAll(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

RawBook::RawBook(const std::string& path)
{
    sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
}

RawBook::~RawBook() { sqlite3_close_v2(m_db); }

int RawBook::Exec(const std::string& sql) { return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); }

long long RawBook::Int(const std::string& sql)
{
    sqlite3_stmt* s = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return value;
}

std::string RawBook::Text(const std::string& sql)
{
    sqlite3_stmt* s = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        if (const auto* text = sqlite3_column_text(s, 0))
            value = reinterpret_cast<const char*>(text);
    sqlite3_finalize(s);
    return value;
}
