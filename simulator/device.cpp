#include "device.h"

namespace {

QByteArray reply(const QByteArray &text) {
    return text + "\r\n";
}

QByteArray twoDigits(int value) {
    return QByteArray::number(value).rightJustified(2, '0');
}

// Reads "dd<sep>dd<sep>dd..." with exactly two digits a field; false on any
// other shape.
bool parseFields(const QByteArray &text, char separator, int count, int *fields) {
    if (text.size() != count * 3 - 1)
        return false;
    for (int i = 0; i < count; ++i) {
        const char a = text.at(i * 3);
        const char b = text.at(i * 3 + 1);
        if (a < '0' || a > '9' || b < '0' || b > '9')
            return false;
        if (i + 1 < count && text.at(i * 3 + 2) != separator)
            return false;
        fields[i] = (a - '0') * 10 + (b - '0');
    }
    return true;
}

bool isCardCommand(const QByteArray &mnemonic) {
    static const QByteArray names[] = {"DSTA", "DSIZ", "DFRE", "DCLR",
                                       "WRTE", "WRTF", "REDL", "REDA"};
    for (const QByteArray &name : names) {
        if (mnemonic == name)
            return true;
    }
    return false;
}

}  // namespace

Device::Device(qint64 cardSize) : m_card(cardSize) {}

QByteArray Device::receive(QByteArrayView bytes) {
    QByteArray out;
    for (const char c : bytes) {
        if (c != '\r' && c != '\n') {
            if (m_pending.size() < MaxLineLength)
                m_pending.append(c);
            else
                m_tooLong = true;
            continue;
        }
        // The LF of a CR LF ends an empty line, which is ignored like any other.
        if (m_pending.isEmpty() && !m_tooLong)
            continue;
        const QByteArray answer = m_tooLong ? reply("ERR LINE TOO LONG") : execute(m_pending);
        if (m_trace)
            m_trace(m_pending, answer);
        out += answer;
        m_pending.clear();
        m_tooLong = false;
    }
    return out;
}

QByteArray Device::execute(const QByteArray &line) {
    const QByteArray mnemonic = line.left(4);
    const QByteArray argument = line.mid(4);
    if (isCardCommand(mnemonic))
        return cardCommand(mnemonic, argument);
    if (mnemonic == "SETT")
        return setTime(argument);
    if (mnemonic == "SETD")
        return setDate(argument);
    if (mnemonic == "GETT" || mnemonic == "GETD") {
        if (!argument.isEmpty())
            return reply("ERR BAD ARGUMENT");
        return reply(mnemonic == "GETT" ? "TIME " + timeStamp().mid(6)
                                        : "DATE " + timeStamp().left(5));
    }
    return reply("ERR UNKNOWN COMMAND");
}

QByteArray Device::cardCommand(const QByteArray &mnemonic, const QByteArray &argument) {
    // The argument is checked before the card: a malformed command never
    // reaches it.
    const bool takesArgument = mnemonic == "WRTE" || mnemonic == "WRTF" || mnemonic == "REDL";
    if (!takesArgument && !argument.isEmpty())
        return reply("ERR BAD ARGUMENT");
    qsizetype number = 0;
    if (mnemonic == "REDL") {
        if (argument.isEmpty())
            return reply("ERR BAD ARGUMENT");
        for (const char c : argument) {
            if (c < '0' || c > '9')
                return reply("ERR BAD ARGUMENT");
        }
        bool ok = false;
        number = argument.toLongLong(&ok);
        // Too many digits for a number is as good as a line that is not there.
        if (!ok)
            number = 0;
    }

    switch (m_card.state()) {
        case Card::State::Missing:
            return reply("ERR NO CARD");
        case Card::State::Failing:
            return reply("ERR CARD FAILURE");
        case Card::State::Ready:
            break;
    }

    if (mnemonic == "DSTA")
        return reply("OK CF READY");
    if (mnemonic == "DSIZ")
        return reply("SIZE " + QByteArray::number(m_card.size()));
    if (mnemonic == "DFRE")
        return reply("FREE " + QByteArray::number(m_card.freeBytes()));
    if (mnemonic == "DCLR") {
        m_card.clear();
        return reply("OK CLEARED");
    }
    if (mnemonic == "WRTE" || mnemonic == "WRTF") {
        const QByteArray line = mnemonic == "WRTF" ? timeStamp() + ' ' + argument : argument;
        if (!m_card.append(line))
            return reply("ERR CARD FULL");
        return reply("OK " + QByteArray::number(m_card.lineCount()));
    }
    if (mnemonic == "REDL") {
        if (number < 1 || number > m_card.lineCount())
            return reply("ERR NO SUCH LINE");
        return reply(m_card.line(number));
    }
    // REDA
    QByteArray out;
    out.reserve(m_card.usedBytes() + 16);
    for (qsizetype n = 1; n <= m_card.lineCount(); ++n) out += reply(m_card.line(n));
    return out + reply("END " + QByteArray::number(m_card.lineCount()));
}

QByteArray Device::setTime(const QByteArray &argument) {
    int f[3];
    if (!parseFields(argument, ':', 3, f) || !DeviceClock::isValidTime(f[0], f[1], f[2]))
        return reply("ERR BAD ARGUMENT");
    m_clock.setTime(f[0], f[1], f[2]);
    return reply("TIME " + argument);
}

QByteArray Device::setDate(const QByteArray &argument) {
    int f[2];
    if (!parseFields(argument, '-', 2, f) || !DeviceClock::isValidDate(f[0], f[1]))
        return reply("ERR BAD ARGUMENT");
    m_clock.setDate(f[0], f[1]);
    return reply("DATE " + argument);
}

// "dd-mm hh:mm:ss"
QByteArray Device::timeStamp() const {
    const DeviceClock::Reading r = m_clock.now();
    return twoDigits(r.day) + '-' + twoDigits(r.month) + ' ' + twoDigits(r.hour) + ':' +
           twoDigits(r.minute) + ':' + twoDigits(r.second);
}
