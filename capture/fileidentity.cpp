#include "fileidentity.h"

#include <QFileInfo>

// Where a file that is not there yet would be: its real folder and its
// name; a dangling symbolic link stands for the file it names, as a save
// writes that one.
QString FileIdentity::placeOf(const QString &path) {
    QFileInfo info(path);
    if (info.isSymLink())
        info.setFile(info.symLinkTarget());
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || info.fileName().isEmpty())
        return {};
    return spelling(folder + u'/' + info.fileName());
}
