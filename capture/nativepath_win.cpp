#include "nativepath.h"

#include <QDir>
#include <QFileInfo>

namespace NativePath {

QString longForm(const QString &path) {
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(u"\\\\?\\") || native.startsWith(u"\\\\.\\"))
        return native;
    if (native.startsWith(u"\\\\"))
        return QStringLiteral("\\\\?\\UNC\\") + native.mid(2);
    return QStringLiteral("\\\\?\\") + native;
}

}  // namespace NativePath
