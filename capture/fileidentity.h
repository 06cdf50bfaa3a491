#pragma once

#include <QString>

// Which file a path or an open descriptor is, so that one file is known as
// one through any symbolic link, hard link or spelling of its path: its
// device and inode (on Windows, its volume and file index). A path that names
// no file yet is known by its place, the real folder and the name in it, so
// that two writers bound for the same new file are known as one too.
//
// It is what the file is at the moment it is asked: a file renamed or
// replaced later is another question. Costs a stat() (on Windows, an open
// without access).
class FileIdentity {
public:
    // No file: equal to nothing, itself included.
    FileIdentity() = default;

    static FileIdentity ofPath(const QString &path);
    static FileIdentity ofDescriptor(int fd);

    bool isNull() const { return !m_exists && m_place.isEmpty(); }
    // Whether it names a file that exists.
    bool exists() const { return m_exists; }
    // Why ofPath() could not look at the path (the system's reason): empty
    // when it found the file, or found that the path names none. A path that
    // cannot be looked at names no file that is known: the identity is null.
    QString lookFailure() const { return m_lookFailure; }

    friend bool operator==(const FileIdentity &a, const FileIdentity &b) {
        if (a.isNull() || b.isNull() || a.m_exists != b.m_exists)
            return false;
        return a.m_exists ? a.m_device == b.m_device && a.m_inode == b.m_inode
                          : a.m_place == b.m_place;
    }
    friend bool operator!=(const FileIdentity &a, const FileIdentity &b) { return !(a == b); }

private:
    static QString placeOf(const QString &path);
    // A place as the file system tells places apart: as written on Unix,
    // case folded on Windows.
    static QString spelling(const QString &place);

    bool m_exists = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    QString m_place;  // a file not there yet
    QString m_lookFailure;
};
