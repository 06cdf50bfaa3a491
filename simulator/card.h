#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The CompactFlash card behind the controller: a list of stored lines.
//
// Each line takes its own bytes plus two for the CR LF that ends it on the
// card, so the free space is the card's size minus the sum of those. Lines
// hold the bytes as they came (8-bit, never converted) and are numbered
// from 1.
//
// With an image file attached, the card's lines are kept in that file: the
// lines one after another, each ended by CR LF, exactly the bytes the card
// uses. The file is written again after every change.
class Card {
public:
    enum class State { Ready, Missing, Failing };

    static constexpr qint64 DefaultSize = 1048576;

    explicit Card(qint64 size = DefaultSize);

    qint64 size() const { return m_size; }
    qint64 usedBytes() const { return m_used; }
    qint64 freeBytes() const { return m_size - m_used; }

    State state() const { return m_state; }
    void setState(State state) { m_state = state; }

    qsizetype lineCount() const { return m_lines.size(); }
    // number is 1-based and must be within 1..lineCount().
    const QByteArray &line(qsizetype number) const { return m_lines.at(number - 1); }

    // False, and nothing stored, when the line does not fit.
    bool append(const QByteArray &line);
    void clear();

    // Adds generated lines (see generatedLine) until count are added or the
    // card is full; returns how many were added.
    qsizetype preload(qsizetype count);
    // "LINE 000001 ..." padded with fixed text to 60 bytes.
    static QByteArray generatedLine(qsizetype number);

    // Loads the file's lines if the file exists (replacing what the card
    // holds) and keeps the file up to date from then on. Fails, leaving the
    // card as it was, if the file cannot be read or holds more than fits.
    bool attachImage(const QString &path, QString *error);
    QString imagePath() const { return m_imagePath; }

private:
    static qint64 spaceFor(const QByteArray &line) { return line.size() + 2; }
    bool save();

    qint64 m_size;
    qint64 m_used = 0;
    State m_state = State::Ready;
    QList<QByteArray> m_lines;
    QString m_imagePath;
};
