#include "book/BookSchema.h"

#include <array>
#include <sqlite3.h>

namespace {

constexpr std::array kMigrations = {
    // 0 -> 1: the first layout.
    BookMigration{"CREATE TABLE servers("
                  " id TEXT PRIMARY KEY NOT NULL,"
                  " Name TEXT NOT NULL DEFAULT '', IP TEXT NOT NULL DEFAULT '', Port TEXT NOT NULL DEFAULT '',"
                  " Version TEXT NOT NULL DEFAULT '', Serial TEXT NOT NULL DEFAULT '', Mac TEXT NOT NULL DEFAULT '',"
                  " DeviceType TEXT NOT NULL DEFAULT '', KorvanID TEXT NOT NULL DEFAULT '',"
                  " UpTime TEXT NOT NULL DEFAULT '',"
                  " first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL, last_address TEXT NOT NULL,"
                  " answering INTEGER NOT NULL DEFAULT 0, watched INTEGER NOT NULL DEFAULT 0,"
                  " claim_of TEXT NOT NULL DEFAULT '') WITHOUT ROWID;"
                  "CREATE TABLE events("
                  " seq INTEGER PRIMARY KEY, server TEXT NOT NULL, kind TEXT NOT NULL, at INTEGER NOT NULL,"
                  " from_text TEXT NOT NULL DEFAULT '', to_text TEXT NOT NULL DEFAULT '');"
                  "CREATE INDEX events_by_server ON events(server, seq);"},
};

MigrationResult Failed(sqlite3* db, int code)
{
    MigrationResult r;
    r.outcome = MigrationResult::Outcome::kFailed;
    r.code = code;
    r.error = sqlite3_errmsg(db);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return r;
}

// One integer from a query of one row, or the result code of the failure.
int QueryInt(sqlite3* db, const char* sql, long long& value)
{
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int64(statement, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return rc;
}

}  // namespace

std::span<const BookMigration> BookMigrations() { return kMigrations; }

MigrationResult MigrateBook(sqlite3* db, std::span<const BookMigration> migrations)
{
    if (const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failed(db, rc);
    long long version = 0;
    if (const int rc = QueryInt(db, "PRAGMA user_version", version); rc != SQLITE_OK)
        return Failed(db, rc);
    MigrationResult result;
    if (version > static_cast<long long>(migrations.size()) || version < 0) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        result.outcome = MigrationResult::Outcome::kNewer;
        return result;
    }
    if (version == 0) {
        long long tables = 0;
        if (const int rc = QueryInt(db, "SELECT count(*) FROM sqlite_master", tables); rc != SQLITE_OK)
            return Failed(db, rc);
        if (tables != 0) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            result.outcome = MigrationResult::Outcome::kForeign;
            return result;
        }
    }
    for (auto step = static_cast<std::size_t>(version); step < migrations.size(); ++step)
        if (const int rc = sqlite3_exec(db, migrations[step].sql, nullptr, nullptr, nullptr); rc != SQLITE_OK)
            return Failed(db, rc);
    if (static_cast<std::size_t>(version) != migrations.size()) {
        const std::string set = "PRAGMA user_version = " + std::to_string(migrations.size());
        if (const int rc = sqlite3_exec(db, set.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
            return Failed(db, rc);
    }
    if (const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failed(db, rc);
    result.outcome = MigrationResult::Outcome::kCurrent;
    return result;
}
