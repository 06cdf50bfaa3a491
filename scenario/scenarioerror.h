#pragma once

#include <QString>

#include <stdexcept>

// Why a scenario file was refused, before anything was sent: which line of
// the file (0 for the file as a whole), what kind of fault, and its detail
// (the system's reason, the offending word or character). what() gives the
// whole in English for a terminal, e.g. "line 4: not UTF-8"; a window words
// the kind in its own language.
class ScenarioError : public std::runtime_error {
public:
    enum class Kind {
        Unreadable,           // detail: the system's reason
        TooLarge,             // the file is larger than a scenario may be
        NotUtf8,              // the line is not UTF-8
        UnknownLine,          // detail: the line's start
        BadNumber,            // detail: the word (timeout, wait)
        CommandTooLong,       // detail: the command's bytes on the wire
        NotInCodePage,        // detail: the character, as U+XXXX "c"
        ExpectBeforeCommand,  // a < or << before the first >
        NoCommand,            // not one > in the whole file
    };

    ScenarioError(Kind kind, int line, const QString &detail = {});

    Kind kind() const { return m_kind; }
    int line() const { return m_line; }
    const QString &detail() const { return m_detail; }

    // The kind and detail in English, without the line.
    static QString describe(Kind kind, const QString &detail);

private:
    Kind m_kind;
    int m_line;
    QString m_detail;
};
