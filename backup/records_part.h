// The records part of a backup: the encrypted file copied byte for byte under
// a read transaction, or the server's database dumped with pg_dump;
// each checked, counted, and (for the server) put back with pg_restore.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "backup/files.h"
#include "backup/manifest.h"

namespace backup {

// A consistent copy of the records file at `source` into the new file
// `copy`, with the same key, made while the program may be writing: the
// copy shows the database as one committed moment left it; a writer's commit
// waits for the copy (a fraction of a second for 100 000 learners). The copy is then
// reopened and checked (checkRecordsFile). Nothing is left at `copy` on
// failure.
std::optional<RowCounts> copyRecordsFile(const std::filesystem::path& source, const std::filesystem::path& copy,
                                         const Access& access, const Control& control, std::string* why);

// Opens a records file with the program's key, runs the engine's integrity
// check and counts the rows of every table.
std::optional<RowCounts> checkRecordsFile(const std::filesystem::path& file, const Control& control, std::string* why);

// The server's records in pg_dump's custom format, in the new file `dump`,
// with the row counts of the same snapshot. A password in the connection
// string reaches pg_dump through its environment, never its arguments.
std::optional<RowCounts> dumpServerRecords(const std::string& conninfo, const std::filesystem::path& dump,
                                           const Control& control, std::string* why);

// Reads a dump through (pg_restore, no server needed) and counts the rows of
// each table in it.
std::optional<RowCounts> checkServerDump(const std::filesystem::path& dump, const Control& control, std::string* why);

// Restores a dump into the database the connection string names, which must
// hold none of the records tables, in one transaction; gives the counts the
// server then holds.
std::optional<RowCounts> restoreServerDump(const std::filesystem::path& dump, const std::string& conninfo,
                                           const Control& control, std::string* why);

// The connection string without its password, for showing and for writing
// into an archive; the text unchanged when libpq cannot read it.
std::string withoutPassword(const std::string& conninfo);
bool hasPassword(const std::string& conninfo);

}  // namespace backup
