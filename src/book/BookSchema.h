#pragma once

#include <span>
#include <string>

struct sqlite3;

// The book's tables, and how a file of any earlier layout becomes the
// current one. Layout n is what PRAGMA user_version says; 0 is a new, empty
// file. Migration i turns layout i into i + 1. All the steps a file needs
// and its new user_version are one transaction, so that a failure leaves
// the file as it was. A shipped migration never changes: a later layout is
// a new entry at the end.
//
// Layout 1:
//   servers(id TEXT PRIMARY KEY, the nine record fields as TEXT columns
//           named as in ServerFields.h (Name, IP, ..., UpTime),
//           first_seen, last_seen INTEGER (ms since 1970 UTC),
//           last_address TEXT, answering, watched INTEGER (0/1),
//           claim_of TEXT ('' unless a second claimant of that ID))
//   events(seq INTEGER PRIMARY KEY, server TEXT, kind TEXT (EventKindName),
//          at INTEGER (ms since 1970 UTC), from_text, to_text TEXT),
//          indexed by (server, seq)
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
