// tallowick: the desktop program. Opens twk.db (beside the executable for a portable copy,
// in the user's data folder for an installed one, made there on the first start) and runs
// the main window; a missing or foreign database ends it after one message.
#include <QApplication>
#include <QIcon>

#include "app/MainDlg.h"
#include "app/MessageBoxHost.h"
#include "app/QtText.h"
#include "platform/DataLocation.h"
#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "text/Messages.h"
#include "text/StringTable.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brennholt Inc"));
    QApplication::setApplicationName(QStringLiteral("Tallowick"));
    // Lets the desktop match the window with the menu entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tallowick"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tallowick.png")));

    twk::gui::MessageBoxHost message_boxes;
    twk::SetMessageHost(&message_boxes);

    // Found from the executable, not the working directory.
    const twk::DataLocation location =
        twk::FindDataLocation(twk::gui::ToPath(QCoreApplication::applicationDirPath()));
    std::wstring error;
    if (!twk::EnsureUserDatabase(location, error)) {
        twk::ShowMessage(twk::kIdsError, nullptr, twk::kMbIconError, error);
        twk::SetMessageHost(nullptr);
        return 1;
    }
    twk::SetProgramDirectory(location.database.parent_path());
    // OpenDatabase has told the user why when it refuses the file.
    if (!twk::OpenDatabase(twk::GetDatabasePath())) {
        twk::SetMessageHost(nullptr);
        return 1;
    }
    {
        twk::gui::CMainDlg window;
        window.exec();
    }
    twk::CloseConnection();
    twk::SetMessageHost(nullptr);
    return 0;
}
