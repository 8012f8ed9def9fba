// tallowick: the desktop program. Opens twk.db (beside the executable for a portable copy,
// in the user's data folder for an installed one, made there on the first start) and runs
// the main window; a missing or foreign database ends it after one message.
#include <QApplication>
#include <QIcon>
#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "app/MainDlg.h"
#include "app/MessageBoxHost.h"
#include "app/QtText.h"
#include "platform/DataLocation.h"
#include "platform/ProgramDirectory.h"
#include "platform/Versions.h"
#include "storage/Database.h"
#include "text/Messages.h"
#include "text/StringTable.h"

namespace {

// Answered before Qt starts, so that they work on a terminal without a display.
void PrintVersion() {
    std::cout << "tallowick " << twk::ProgramVersion() << "\n"
              << "Qt " << qVersion() << "\n";
    for (const std::string& library : twk::LibraryVersions()) {
        std::cout << library << "\n";
    }
}

void PrintUsage() {
    std::cout << "Usage: tallowick [--version | --help]\n"
                 "\n"
                 "The desktop program of Tallowick: posts one prepared message as a new topic\n"
                 "to many web forums. It needs a graphical session; twk does the same work\n"
                 "from the command line (see twk help).\n";
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Without a display Qt's xcb and wayland plugins abort the process with a message meant
// for developers. A platform chosen by the caller (offscreen for tests, -platform on the
// command line) is left to Qt.
bool HasGraphicalSession(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') {
        const std::string_view name(platform);
        if (!name.starts_with("xcb") && !name.starts_with("wayland")) {
            return true;
        }
    }
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version") {
            PrintVersion();
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            PrintUsage();
            return 0;
        }
    }
    if (!HasGraphicalSession(argc, argv)) {
        std::cerr << "tallowick: needs a graphical session (no DISPLAY or WAYLAND_DISPLAY is "
                     "set); twk does the same work without one\n";
        return 1;
    }
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
