#pragma once

#include "linepattern.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// A test scenario: the commands to send and the lines expected back, read
// from a plain UTF-8 file, one item a line (CR LF, CR or LF end a line; a
// UTF-8 byte order mark is skipped):
//
//   > TEXT       send TEXT and CR, in the line's code page, as a button does
//   < PATTERN    the next received line must match PATTERN (linepattern.h)
//   << PATTERN   received lines are skipped until one matches PATTERN
//   timeout MS   the time allowed for each following expected line
//   wait MS      a pause
//   # ...        a comment; blank lines are ignored too
//
// One blank after >, < or << separates it from its text and is not part of
// it; everything after it is, trailing blanks included. Blanks before the
// item are ignored. A step is one > line with the < and << lines, waits and
// timeouts after it.
//
// A file is checked whole before anything is sent: parse() throws
// ScenarioError for the first malformed line (a line that is not UTF-8, an
// unknown item, a number out of range, a command the code page cannot
// carry or the device cannot take, an expected line before any command)
// and for a file without a command.
struct ScenarioAction {
    enum class Kind { Send, Expect, Skip, Wait, Timeout };
    Kind kind = Kind::Send;
    int line = 0;         // in the file, from 1
    QString command;      // Send: the text, without its CR
    LinePattern pattern;  // Expect, Skip
    int ms = 0;           // Wait, Timeout
};

struct ScenarioStep {
    int line = 0;        // the > line
    QString command;     // what it sends, without the CR
    qsizetype send = 0;  // the index of its Send among the actions
    qsizetype end = 0;   // one past its last action
};

class Scenario {
public:
    // The time allowed for an expected line until a timeout sets another.
    static constexpr int kDefaultTimeoutMs = 2000;
    // The longest wait or timeout: a day.
    static constexpr int kLongestMs = 24 * 60 * 60 * 1000;
    // The device takes at most this many bytes before the CR.
    static constexpr qsizetype kLongestCommand = 1024;
    // A larger file is refused unread: a scenario is written by hand or
    // recorded, not a dump.
    static constexpr qint64 kLargestFile = 64 * 1024 * 1024;

    static Scenario parse(QByteArrayView file);
    // Reads and parses the file at path; `bytes`, when given, gets what the
    // file holds.
    static Scenario read(const QString &path, QByteArray *bytes = nullptr);

    const QList<ScenarioAction> &actions() const { return m_actions; }
    const QList<ScenarioStep> &steps() const { return m_steps; }
    // The step the action belongs to; -1 before the first command.
    qsizetype stepOf(qsizetype action) const;

    // The file's name as given to read(), or what the caller set.
    QString fileName;

private:
    void addLine(int number, QStringView line);

    QList<ScenarioAction> m_actions;
    QList<ScenarioStep> m_steps;
};
