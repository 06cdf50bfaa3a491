#pragma once

#include "filefailure.h"

#include <stdexcept>

// A file capture was asked to write failed at the request: what() is the
// failure's text, failure() the parts the window needs.
class FileError : public std::runtime_error {
public:
    explicit FileError(FileFailure failure)
        : std::runtime_error(failure.text().toStdString()), m_failure(std::move(failure)) {}

    const FileFailure &failure() const { return m_failure; }
    // The system's reason alone, e.g. "Permission denied".
    QString reason() const { return m_failure.reason; }

private:
    FileFailure m_failure;
};
