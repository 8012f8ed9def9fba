#pragma once

#include <filesystem>

namespace twk {

// Backup and restore of the database file, run from the main window's File menu while no
// submission runs. Both report to the user themselves (ShowMessage, owned by owner); the
// window only picks the files and reacts to the outcome.

// Copies the database file to target, replacing target. The connection stays open: SQLite
// has finished every write by the time a menu command runs. True when the copy was made.
bool BackupDatabase(const std::filesystem::path& database, const std::filesystem::path& target,
                    void* owner);

enum class RestoreOutcome {
    kRestored,   // source is now the open database; the old one is database + ".bak"
    kUnchanged,  // a file step failed; the previous database is back in place and open
    kMustEnd,    // the previous database is back in place but no connection is open
};

// Replaces the database with a copy of source, keeping the replaced file as
// database + ".bak". A source that is not a usable database (OpenDatabase refuses it)
// is removed again and the previous file put back.
RestoreOutcome RestoreDatabase(const std::filesystem::path& database,
                               const std::filesystem::path& source, void* owner);

// database + ".bak".
std::filesystem::path BackupPathFor(const std::filesystem::path& database);

}  // namespace twk
