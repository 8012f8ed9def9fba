#include "app/QtText.h"

#include <QFile>

namespace twk::gui {

QString FromStoredText(const std::wstring& text) {
    QString result = ToQString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

std::wstring ToStoredText(const QString& text) {
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ToWide(result);
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QString FromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
}

}  // namespace twk::gui
