#pragma once

#include <QStringList>

namespace garrison {

// The tables of the player history, the same on SQLite and PostgreSQL, and the steps that
// bring an older database up to this program's version.
namespace HistorySchema {

enum class Dialect { Sqlite, Postgres };

// The version this program writes. A database with a higher one is only read.
constexpr int kVersion = 3;

// The statements that turn a database of version `version - 1` into `version`; they run in
// one transaction together with the new version number.
QStringList migration(Dialect dialect, int version);

// Optional indexes for searching name fragments, created outside the migration because the
// server may refuse them (an SQLite without FTS5, a PostgreSQL without pg_trgm); search works
// without them, only slower.
QStringList fragmentIndex(Dialect dialect);

// Reads and writes the version in the table "meta".
QString versionQuery();
QString versionUpdate();

} // namespace HistorySchema

} // namespace garrison
