#include "fileidentity.h"

#include <QFile>

#include <sys/stat.h>

#include <cerrno>

FileIdentity FileIdentity::ofPath(const QString &path) {
    FileIdentity identity;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        identity.m_exists = true;
        identity.m_device = st.st_dev;
        identity.m_inode = st.st_ino;
    } else if (errno == ENOENT || errno == ENOTDIR) {
        identity.m_place = placeOf(path);
    } else {
        identity.m_lookFailure = qt_error_string(errno);
    }
    return identity;
}

FileIdentity FileIdentity::ofDescriptor(int fd) {
    FileIdentity identity;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        identity.m_exists = true;
        identity.m_device = st.st_dev;
        identity.m_inode = st.st_ino;
    }
    return identity;
}

QString FileIdentity::spelling(const QString &place) {
    return place;
}
