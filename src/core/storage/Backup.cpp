#include "storage/Backup.h"

#include <system_error>

#include "platform/PrivateFiles.h"
#include "storage/Database.h"
#include "text/Messages.h"
#include "text/StringTable.h"

namespace fs = std::filesystem;

namespace twk {
namespace {

void ShowError(void* owner, const std::wstring& text) {
    ShowMessage(kIdsError, owner, kMbIconError, text);
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Puts the previous database back after a failed step and reopens it, so that the
// program goes on with the data it had.
RestoreOutcome PutBack(const fs::path& database, const fs::path& backup, bool moved) {
    if (moved) {
        std::error_code error;
        fs::rename(backup, database, error);
    }
    return OpenDatabase(database) ? RestoreOutcome::kUnchanged : RestoreOutcome::kMustEnd;
}

}  // namespace

fs::path BackupPathFor(const fs::path& database) {
    fs::path backup = database;
    backup += ".bak";
    return backup;
}

bool BackupDatabase(const fs::path& database, const fs::path& target, void* owner) {
    std::error_code error;
    fs::copy_file(database, target, fs::copy_options::overwrite_existing, error);
    // The copy holds the forum passwords as the database does. copy_file gives it the
    // database's mode, so it is never more open than the database was.
    if (!error) {
        MakePrivateFile(target, error);
    }
    if (error) {
        ShowError(owner, FormatSystemError(kIdsCopyError, error));
        return false;
    }
    ShowMessage(kIdsBlankCaption, owner, kMbIconInformation, LoadText(kIdsDatabaseSaved));
    return true;
}

RestoreOutcome RestoreDatabase(const fs::path& database, const fs::path& source, void* owner) {
    const fs::path backup = BackupPathFor(database);
    std::error_code error;

    // Restoring from the backup file itself (undoing the last restore) or from the live
    // file: the steps below delete and move exactly those files, so work from a copy.
    fs::path from = source;
    fs::path staging;
    if (SameFile(source, backup) || SameFile(source, database)) {
        staging = database;
        staging += ".restore";
        fs::copy_file(source, staging, fs::copy_options::overwrite_existing, error);
        if (error) {
            ShowError(owner, FormatSystemError(kIdsCopyError, error));
            return RestoreOutcome::kUnchanged;
        }
        from = staging;
    }
    auto drop_staging = [&staging] {
        if (!staging.empty()) {
            std::error_code ignored;
            fs::remove(staging, ignored);
        }
    };

    // The connection must be closed before its file is moved away.
    CloseConnection();

    // A missing backup is no error: remove() reports it as "nothing removed".
    fs::remove(backup, error);
    if (error) {
        ShowError(owner, FormatSystemError(kIdsDeleteError, error, backup.wstring()));
        drop_staging();
        return PutBack(database, backup, false);
    }
    fs::rename(database, backup, error);
    if (error) {
        ShowError(owner, FormatSystemError(kIdsMoveError, error, backup.wstring()));
        drop_staging();
        return PutBack(database, backup, false);
    }
    // Copied, not moved: the user's file stays where it was. The target cannot exist any
    // more, so the copy fails rather than overwrite something unexpected.
    fs::copy_file(from, database, fs::copy_options::none, error);
    if (!error) {
        MakePrivateFile(database, error);
    }
    drop_staging();
    if (error) {
        ShowError(owner, FormatSystemError(kIdsCopyError, error));
        return PutBack(database, backup, true);
    }
    // OpenDatabase tells the user itself when it refuses the file.
    if (!OpenDatabase(database)) {
        fs::remove(database, error);
        fs::rename(backup, database, error);
        return RestoreOutcome::kMustEnd;
    }
    return RestoreOutcome::kRestored;
}

}  // namespace twk
