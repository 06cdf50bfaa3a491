#pragma once

#include "codepage.h"

#include <QByteArray>
#include <QString>

#include <utility>

// Received characters held as the bytes that came, one a character in the
// line's code page: kept as they are, decoded only when read as text.
class ReceivedText {
public:
    ReceivedText() = default;
    explicit ReceivedText(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    const QByteArray &bytes() const { return m_bytes; }
    // Characters, as many as bytes.
    qsizetype size() const { return m_bytes.size(); }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    QString toString() const { return CodePage::decode(m_bytes); }

    // Exchanges the bytes held with `bytes`, room included.
    void swap(QByteArray &bytes) { m_bytes.swap(bytes); }

private:
    QByteArray m_bytes;
};
