#include "portnumber.h"

#include <QByteArray>
#include <QRegularExpression>

#include <algorithm>

namespace PortNumber {

std::optional<qint16> parse(const QString &text) {
    auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin))) ++begin;
    while (end > begin && isBlank(text.at(end - 1))) --end;

    bool negative = false;
    if (begin < end && (text.at(begin) == u'+' || text.at(begin) == u'-')) {
        negative = text.at(begin) == u'-';
        ++begin;
    }
    if (begin == end)
        return std::nullopt;

    // Accumulate with a bound so that a text of any length cannot overflow.
    long value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 32768)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < -32768 || value > 32767)
        return std::nullopt;
    return static_cast<qint16>(value);
}

namespace {

// The one spelling of the mapping variables' names.
constexpr auto kMappingPrefix = "RS232_PORT_";

// The kinds of port, in numbering order.
enum Kind { BuiltIn, UsbAdapter, UsbCdc, Other, NotSerial };

bool isPseudoTerminal(const PortRecord &port) {
    static const QRegularExpression pty(
        QStringLiteral("^(pts/.*|pts\\d*|ptmx|pty.*|tty[p-za-e][0-9a-f]|ttys\\d{3})$"));
    return port.systemLocation.startsWith(QLatin1String("/dev/pts/")) ||
           pty.match(port.portName).hasMatch();
}

bool isVirtualConsole(const QString &name) {
    static const QRegularExpression console(QStringLiteral("^(tty\\d*|console)$"));
    return console.match(name).hasMatch();
}

// The name without a macOS "cu."/"tty." prefix.
QString stem(const QString &name) {
    if (name.startsWith(QLatin1String("cu.")))
        return name.mid(3);
    if (name.startsWith(QLatin1String("tty.")))
        return name.mid(4);
    return name;
}

// The kind of a port, and its rank inside the kind (ttyS before the other
// built-in UARTs).
std::pair<Kind, int> classify(const PortRecord &port) {
    const QString &name = port.portName;
    if (isPseudoTerminal(port) || isVirtualConsole(name))
        return {NotSerial, 0};
    static const QRegularExpression ttyS(QStringLiteral("^ttyS\\d+$"));
    static const QRegularExpression builtIn(
        QStringLiteral("^tty(AMA|mxc|O|THS|SAC|PS|MSM|HS|SC|LP|MV|STM|AML|UL|TCU)\\d+$"));
    static const QRegularExpression usbAdapter(
        QStringLiteral("^(ttyUSB\\d+|usbserial.*|wchusbserial.*|SLAB_USBtoUART.*)$"));
    static const QRegularExpression usbCdc(QStringLiteral("^(ttyACM\\d+|usbmodem.*)$"));
    if (ttyS.match(name).hasMatch())
        return {BuiltIn, 0};
    if (builtIn.match(name).hasMatch())
        return {BuiltIn, 1};
    const QString s = stem(name);
    if (usbAdapter.match(s).hasMatch())
        return {UsbAdapter, 0};
    if (usbCdc.match(s).hasMatch())
        return {UsbCdc, 0};
    return {Other, 0};
}

// Compares names with their digit runs as numbers: ttyUSB9 < ttyUSB10.
int naturalCompare(const QString &a, const QString &b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            const qsizetype si = i, sj = j;
            while (i < a.size() && a.at(i).isDigit()) ++i;
            while (j < b.size() && b.at(j).isDigit()) ++j;
            QStringView da = QStringView(a).mid(si, i - si);
            QStringView db = QStringView(b).mid(sj, j - sj);
            while (da.size() > 1 && da.front() == u'0') da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0') db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size() ? -1 : 1;
            if (const int c = da.compare(db); c != 0)
                return c;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b);
}

// The ports that get a number, in numbering order.
QList<PortRecord> ordered(const QList<PortRecord> &ports) {
    QStringList names;
    for (const PortRecord &p : ports) names << p.portName;

    struct Keyed {
        Kind kind;
        int rank;
        PortRecord port;
    };
    QList<Keyed> kept;
    for (const PortRecord &p : ports) {
        if (p.phantom)
            continue;
        // A macOS tty.* device counts once, as its cu.* twin.
        if (p.portName.startsWith(QLatin1String("tty.")) &&
            names.contains(QStringLiteral("cu.") + stem(p.portName)))
            continue;
        const auto [kind, rank] = classify(p);
        if (kind == NotSerial)
            continue;
        if (std::any_of(kept.cbegin(), kept.cend(),
                        [&](const Keyed &k) { return k.port.portName == p.portName; }))
            continue;
        kept.append({kind, rank, p});
    }
    std::sort(kept.begin(), kept.end(), [](const Keyed &a, const Keyed &b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return naturalCompare(stem(a.port.portName), stem(b.port.portName)) < 0;
    });
    QList<PortRecord> result;
    for (const Keyed &k : kept) result.append(k.port);
    return result;
}

std::optional<int> comNumber(const QString &name) {
    static const QRegularExpression com(QStringLiteral("^COM(\\d{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto match = com.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const int n = match.captured(1).toInt();
    if (n < kFirst || n > kLast)
        return std::nullopt;
    return n;
}

}  // namespace

QString mappingVariable(int number) {
    return QLatin1String(kMappingPrefix) + QString::number(number);
}

QString deviceOf(const PortRecord &port, Scheme scheme) {
    return scheme == Scheme::ComNumber ? port.portName : port.systemLocation;
}

Mappings mappingsFrom(const QProcessEnvironment &env) {
    Mappings mappings;
    const QLatin1String prefix(kMappingPrefix);
    for (const QString &key : env.keys()) {
        if (!key.startsWith(prefix))
            continue;
        bool ok = false;
        const int n = QStringView(key).mid(prefix.size()).toInt(&ok);
        if (!ok || n < kFirst || n > kLast || mappingVariable(n) != key)
            continue;
        if (const QString value = env.value(key); !value.isEmpty())
            mappings.insert(n, value);
    }
    return mappings;
}

QList<NumberedPort> numberPorts(const QList<PortRecord> &ports, const Mappings &mappings,
                                Scheme scheme) {
    QMap<int, NumberedPort> byNumber;
    if (scheme == Scheme::Ordered) {
        const QList<PortRecord> list = ordered(ports);
        for (int i = 0; i < list.size() && i < kLast; ++i)
            byNumber.insert(i + 1, {i + 1, deviceOf(list.at(i), scheme), list.at(i), false, {}});
    } else {
        for (const PortRecord &p : ports) {
            if (const auto n = comNumber(p.portName); n && !byNumber.contains(*n))
                byNumber.insert(*n, {*n, deviceOf(p, scheme), p, false, {}});
        }
    }

    // A mapping wins over whatever the system put at its number.
    for (auto mapping = mappings.cbegin(); mapping != mappings.cend(); ++mapping) {
        const int n = mapping.key();
        NumberedPort entry{n, mapping.value(), std::nullopt, true, std::nullopt};
        if (const auto it = byNumber.constFind(n); it != byNumber.cend())
            entry.hidden = it->port;
        byNumber.insert(n, entry);
    }
    return byNumber.values();
}

std::optional<NumberedPort> numberedPort(int number, const QList<PortRecord> &ports,
                                         const Mappings &mappings, Scheme scheme) {
    if (number < kFirst || number > kLast)
        return std::nullopt;
    for (const NumberedPort &entry : numberPorts(ports, mappings, scheme))
        if (entry.number == number)
            return entry;
    // COM<n> whether or not the system lists it.
    if (scheme == Scheme::ComNumber)
        return NumberedPort{number, QStringLiteral("COM%1").arg(number), std::nullopt, false,
                            std::nullopt};
    return std::nullopt;
}

}  // namespace PortNumber
