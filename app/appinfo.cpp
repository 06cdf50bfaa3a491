#include "appinfo.h"

#include <QGuiApplication>
#include <QIcon>

namespace AppInfo {

void apply() {
    // The display name is left unset: Qt would append it to every window
    // title, and the titles are part of the design.
    QCoreApplication::setApplicationName(QString::fromLatin1(kShortName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/app.ico")));
}

}  // namespace AppInfo
