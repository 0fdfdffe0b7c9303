#include "book/BookSchema.h"

std::span<const BookMigration> BookMigrations() { return {}; }

MigrationResult MigrateBook(sqlite3*, std::span<const BookMigration>) { return {}; }
