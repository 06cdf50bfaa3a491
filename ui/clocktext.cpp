#include "clocktext.h"

#include <QRegularExpression>

namespace {

// The long time format of most locales ends in a time zone ("t"); the clock
// shows local time only. Quoted literals are left alone.
QString withoutTimeZone(const QString &format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out.append(c);
    }
    return out.simplified();
}

}  // namespace

QString clockText(const QLocale &locale, QDate date, QTime time) {
    const QString timeFormat = withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    return locale.toString(date, QLocale::ShortFormat) + u' ' + locale.toString(time, timeFormat);
}
