#include "card.h"

#include <QFile>
#include <QSaveFile>
#include <QtDebug>

Card::Card(qint64 size) : m_size(qMax<qint64>(size, 0)) {}

bool Card::append(const QByteArray &line) {
    if (spaceFor(line) > freeBytes())
        return false;
    m_lines.append(line);
    m_used += spaceFor(line);
    save();
    return true;
}

void Card::clear() {
    m_lines.clear();
    m_used = 0;
    save();
}

qsizetype Card::preload(qsizetype count) {
    qsizetype added = 0;
    while (added < count) {
        const QByteArray line = generatedLine(m_lines.size() + 1);
        if (spaceFor(line) > freeBytes())
            break;
        m_lines.append(line);
        m_used += spaceFor(line);
        ++added;
    }
    // One write for the whole batch rather than one per line.
    if (added > 0)
        save();
    return added;
}

QByteArray Card::generatedLine(qsizetype number) {
    static const QByteArray filler =
        " T=21.5C RH=40% P=1013hPa ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray line = "LINE " + QByteArray::number(number).rightJustified(6, '0');
    line += filler;
    line.truncate(60);
    return line;
}

bool Card::attachImage(const QString &path, QString *error) {
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        QList<QByteArray> lines;
        qint64 used = 0;
        const QByteArray all = file.readAll();
        // A line ends with CR LF; a bare LF is taken too, for hand-edited files.
        qsizetype start = 0;
        while (start < all.size()) {
            qsizetype end = all.indexOf('\n', start);
            if (end < 0)
                end = all.size();
            QByteArray line = all.mid(start, end - start);
            if (line.endsWith('\r'))
                line.chop(1);
            used += spaceFor(line);
            lines.append(line);
            start = end + 1;
        }
        if (used > m_size) {
            *error = QStringLiteral("%1 holds %2 bytes, more than the card's %3")
                         .arg(path)
                         .arg(used)
                         .arg(m_size);
            return false;
        }
        m_lines = lines;
        m_used = used;
    }
    m_imagePath = path;
    if (!save()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        m_imagePath.clear();
        return false;
    }
    return true;
}

bool Card::save() {
    if (m_imagePath.isEmpty())
        return true;
    QSaveFile file(m_imagePath);
    bool ok = file.open(QIODevice::WriteOnly);
    for (qsizetype i = 0; ok && i < m_lines.size(); ++i)
        ok = file.write(m_lines.at(i) + "\r\n") >= 0;
    ok = ok && file.commit();
    // The card in memory stays as it is: the device keeps working even if
    // its image cannot be kept.
    if (!ok)
        qWarning("kalvex-sim: cannot write %s: %s", qPrintable(m_imagePath),
                 qPrintable(file.errorString()));
    return ok;
}
