// The records of a school on a database server: making the tables there,
// and moving a program folder's records from its file onto the server.
#pragma once

#include <filesystem>
#include <string>

#include "tools/outcome.h"

namespace admin {

// Creates the tables on a server database that holds none of them yet; a
// database that already holds any of them is refused and left as it is.
Report initServer(const std::string& conninfo);

// Adds the searches' trigram indexes that a database made by an earlier
// server-init lacks (those present are kept); refused unless the database
// holds every records table.
Report indexServer(const std::string& conninfo);

// Copies every row of the folder's hj.mdb (learners, the four subjects'
// bookings, graduates) into the server's empty tables in one transaction,
// checks that each table on the server holds as many rows as the file, and
// only then commits. On success the folder gets a database.ini naming the
// server (GB18030), so the program there uses the server; hj.mdb is kept
// as it was. On failure the server is left as it was.
Report moveToServer(const std::filesystem::path& folder, const std::string& conninfo);

// The database.ini text naming this server (GB18030).
std::string serverSettingsFileText(const std::string& conninfo);

}  // namespace admin
