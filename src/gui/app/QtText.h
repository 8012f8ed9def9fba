#pragma once

#include <QString>
#include <filesystem>
#include <string>

#include "text/StringTable.h"

namespace twk::gui {

// Core text is std::wstring, Qt text is QString: converted only where the two meet.
inline QString ToQString(const std::wstring& text) {
    return QString::fromStdWString(text);
}
inline std::wstring ToWide(const QString& text) {
    return text.toStdWString();
}

// A string-table text as a QString.
inline QString Text(int id) {
    return ToQString(LoadText(id));
}

// Stored text keeps Windows line breaks (CR LF), which is what browsers post from a text
// area and what the forums and the preview expect; Qt's editors work with LF.
QString FromStoredText(const std::wstring& text);
std::wstring ToStoredText(const QString& text);

// A file name from a Qt dialog or Qt's own paths, in the file system's encoding.
std::filesystem::path ToPath(const QString& path);
// And back, for Qt's file and address functions.
QString FromPath(const std::filesystem::path& path);

}  // namespace twk::gui
