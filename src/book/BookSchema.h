#pragma once

#include <span>
#include <string>

struct sqlite3;

// The book's tables, and how a file of any earlier layout becomes the
// current one. Layout n is what PRAGMA user_version says; 0 is a new, empty
// file. Migration i turns layout i into i + 1, in one transaction together
// with the new user_version, so that a failure leaves the file as it was.
struct BookMigration
{
    const char* sql;  // statements separated by ';'
};

// The migrations of this program, from layout 0 on.
std::span<const BookMigration> BookMigrations();

struct MigrationResult
{
    enum class Outcome {
        kCurrent,   // the file is at the newest layout now
        kNewer,     // written by a newer program: left alone
        kForeign,   // layout 0 with tables of someone else's: left alone
        kFailed,    // SQLite refused; `error` says why, `code` is its result code
    };
    Outcome outcome = Outcome::kFailed;
    int code = 0;
    std::string error;
};

// Brings `db` to layout migrations.size(). Takes the write lock for the
// whole check and migration.
MigrationResult MigrateBook(sqlite3* db, std::span<const BookMigration> migrations);
