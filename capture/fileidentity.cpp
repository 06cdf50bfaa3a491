#include "fileidentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>

#include <cerrno>
#endif

namespace {

// Where a file that is not there yet would be: its real folder and its
// name; a dangling symbolic link stands for the file it names, as a save
// writes that one.
QString placeOf(const QString &path) {
    QFileInfo info(path);
    if (info.isSymLink())
        info.setFile(info.symLinkTarget());
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || info.fileName().isEmpty())
        return {};
    const QString place = folder + u'/' + info.fileName();
#ifdef Q_OS_WIN
    return place.toCaseFolded();  // the file system ignores case
#else
    return place;
#endif
}

}  // namespace

#ifdef Q_OS_WIN

namespace {

bool identify(HANDLE handle, quint64 *device, quint64 *inode) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info))
        return false;
    *device = info.dwVolumeSerialNumber;
    *inode = (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

}  // namespace

FileIdentity FileIdentity::ofPath(const QString &path) {
    FileIdentity identity;
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // No access asked: only what the file is.
    const HANDLE handle = CreateFileW(reinterpret_cast<LPCWSTR>(native.utf16()), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        identity.m_exists = identify(handle, &identity.m_device, &identity.m_inode);
        CloseHandle(handle);
    } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND &&
                                                   error != ERROR_PATH_NOT_FOUND &&
                                                   error != ERROR_DELETE_PENDING) {
        identity.m_lookFailure = qt_error_string(int(error));
        return identity;
    }
    if (!identity.m_exists && !QFileInfo::exists(path))
        identity.m_place = placeOf(path);
    return identity;
}

FileIdentity FileIdentity::ofDescriptor(int fd) {
    FileIdentity identity;
    identity.m_exists = identify(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &identity.m_device,
                                 &identity.m_inode);
    return identity;
}

#else

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

#endif
