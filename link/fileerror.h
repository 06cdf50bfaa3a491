#pragma once

#include <QString>

#include <stdexcept>

// A file the console was asked to write could not be opened or written. Its
// text is the system's reason, e.g. "Permission denied"; the window names
// the file beside it.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString &reason) : std::runtime_error(reason.toStdString()) {}

    QString reason() const { return QString::fromUtf8(what()); }
};
