#include "fileidentity.h"

#include "nativepath.h"

#include <QFileInfo>

#include <io.h>
#include <windows.h>

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
    // No access asked: only what the file is.
    const QString native = NativePath::longForm(path);
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

// The file system ignores case.
QString FileIdentity::spelling(const QString &place) {
    return place.toCaseFolded();
}
