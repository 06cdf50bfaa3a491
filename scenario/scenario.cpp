#include "scenario.h"

#include "codepage.h"
#include "lineindex.h"
#include "scenarioerror.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

QStringView trimmedStart(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text.at(i))) ++i;
    return text.mid(i);
}

// The text after a marker of `length` characters, less the one blank that
// separates them.
QString textAfter(QStringView item, qsizetype length) {
    QStringView rest = item.mid(length);
    if (!rest.isEmpty() && rest.front() == u' ')
        rest = rest.mid(1);
    return rest.toString();
}

// The milliseconds of "timeout MS" or "wait MS": digits, blanks around.
int milliseconds(QStringView item, qsizetype length, int line, const QString &word) {
    const QStringView digits = item.mid(length).trimmed();
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok);
    const bool plain = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!ok || !plain || value > Scenario::kLongestMs)
        throw ScenarioError(ScenarioError::Kind::BadNumber, line, word);
    return int(value);
}

// The word at the start of an item, up to a blank.
bool startsWithWord(QStringView item, QStringView word) {
    return item.startsWith(word) && (item.size() == word.size() || isBlank(item.at(word.size())));
}

void checkCommand(const QString &command, int line) {
    const auto &charset = CodePage::charset();
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (charset->byteOf(command.at(i).unicode()) >= 0)
            continue;
        const char32_t code = command.at(i).isHighSurrogate() && i + 1 < command.size()
                                  ? QChar::surrogateToUcs4(command.at(i), command.at(i + 1))
                                  : command.at(i).unicode();
        throw ScenarioError(ScenarioError::Kind::NotInCodePage, line,
                            QStringLiteral("U+%1 \"%2\"")
                                .arg(quint32(code), 4, 16, QLatin1Char('0'))
                                .toUpper()
                                .arg(QString::fromUcs4(&code, 1)));
    }
    // One byte a character in the code page.
    if (command.size() > Scenario::kLongestCommand)
        throw ScenarioError(ScenarioError::Kind::CommandTooLong, line,
                            QString::number(command.size()));
}

}  // namespace

Scenario Scenario::parse(QByteArrayView file) {
    Scenario scenario;
    if (file.startsWith("\xEF\xBB\xBF"))
        file = file.sliced(3);
    LineEndScan scan;
    qsizetype start = 0;
    int number = 1;
    auto addLine = [&](qsizetype end) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8(file.sliced(start, end - start));
        if (utf8.hasError())
            throw ScenarioError(ScenarioError::Kind::NotUtf8, number);
        scenario.addLine(number, line);
    };
    for (qsizetype i = 0; i < file.size(); ++i) {
        switch (scan.next(char16_t(uchar(file[i])))) {
            case LineEndScan::Char::Text:
                break;
            case LineEndScan::Char::End:
                addLine(i);
                ++number;
                start = i + 1;
                break;
            case LineEndScan::Char::EndRest:
                start = i + 1;
                break;
        }
    }
    if (start < file.size())
        addLine(file.size());
    if (scenario.m_steps.isEmpty())
        throw ScenarioError(ScenarioError::Kind::NoCommand, 0);
    return scenario;
}

Scenario Scenario::read(const QString &path, QByteArray *bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ScenarioError(ScenarioError::Kind::Unreadable, 0, file.errorString());
    if (file.size() > kLargestFile)
        throw ScenarioError(ScenarioError::Kind::TooLarge, 0,
                            QString::number(kLargestFile / (1024 * 1024)));
    const QByteArray held = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ScenarioError(ScenarioError::Kind::Unreadable, 0, file.errorString());
    Scenario scenario = parse(held);
    scenario.fileName = path;
    if (bytes)
        *bytes = held;
    return scenario;
}

void Scenario::addLine(int number, QStringView line) {
    const QStringView item = trimmedStart(line);
    if (item.isEmpty() || item.startsWith(u'#'))
        return;
    ScenarioAction action;
    action.line = number;
    if (item.startsWith(u'>')) {
        action.kind = ScenarioAction::Kind::Send;
        action.command = textAfter(item, 1);
        checkCommand(action.command, number);
        m_steps.append({number, action.command, m_actions.size(), m_actions.size() + 1});
    } else if (item.startsWith(u'<')) {
        if (m_steps.isEmpty())
            throw ScenarioError(ScenarioError::Kind::ExpectBeforeCommand, number);
        const bool skip = item.startsWith(u"<<");
        action.kind = skip ? ScenarioAction::Kind::Skip : ScenarioAction::Kind::Expect;
        action.pattern = LinePattern(textAfter(item, skip ? 2 : 1));
    } else if (startsWithWord(item, u"timeout")) {
        action.kind = ScenarioAction::Kind::Timeout;
        action.ms = milliseconds(item, 7, number, QStringLiteral("timeout"));
    } else if (startsWithWord(item, u"wait")) {
        action.kind = ScenarioAction::Kind::Wait;
        action.ms = milliseconds(item, 4, number, QStringLiteral("wait"));
    } else {
        constexpr qsizetype kShown = 20;
        throw ScenarioError(ScenarioError::Kind::UnknownLine, number,
                            item.size() > kShown
                                ? item.left(kShown).toString() + QStringLiteral("...")
                                : item.toString());
    }
    m_actions.append(std::move(action));
    if (!m_steps.isEmpty())
        m_steps.last().end = m_actions.size();
}

qsizetype Scenario::stepOf(qsizetype action) const {
    qsizetype step = -1;
    for (qsizetype i = 0; i < m_steps.size() && m_steps.at(i).send <= action; ++i) step = i;
    return step;
}
