// tallowick: the desktop program. Opens twk.db beside the executable and runs the main
// window; a missing or foreign database ends it after one message.
#include <QApplication>
#include <QIcon>

#include "app/MainDlg.h"
#include "app/MessageBoxHost.h"
#include "app/QtText.h"
#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "text/Messages.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brennholt Inc"));
    QApplication::setApplicationName(QStringLiteral("Tallowick"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/tallowick.png")));

    twk::gui::MessageBoxHost message_boxes;
    twk::SetMessageHost(&message_boxes);

    // Beside the executable, not in the working directory.
    twk::SetProgramDirectory(twk::gui::ToPath(QCoreApplication::applicationDirPath()));
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
