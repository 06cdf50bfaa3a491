#include "scenarioerror.h"

#include "scenario.h"

namespace {

QString whole(ScenarioError::Kind kind, int line, const QString &detail) {
    const QString text = ScenarioError::describe(kind, detail);
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(text) : text;
}

}  // namespace

ScenarioError::ScenarioError(Kind kind, int line, const QString &detail)
    : std::runtime_error(whole(kind, line, detail).toStdString()),
      m_kind(kind),
      m_line(line),
      m_detail(detail) {}

QString ScenarioError::describe(Kind kind, const QString &detail) {
    switch (kind) {
        case Kind::Unreadable:
            return QStringLiteral("cannot be read: %1").arg(detail);
        case Kind::TooLarge:
            return QStringLiteral("larger than a scenario may be (%1 MiB)").arg(detail);
        case Kind::NotUtf8:
            return QStringLiteral("not UTF-8");
        case Kind::UnknownLine:
            return QStringLiteral(
                       "\"%1\" is not a command (>), an expected line (< or <<), timeout, wait "
                       "or a comment (#)")
                .arg(detail);
        case Kind::BadNumber:
            return QStringLiteral("%1 takes a number of milliseconds, 0 to %2")
                .arg(detail)
                .arg(Scenario::kLongestMs);
        case Kind::CommandTooLong:
            return QStringLiteral(
                       "the command is %1 bytes, and the device takes at most %2 before the CR")
                .arg(detail)
                .arg(Scenario::kLongestCommand);
        case Kind::NotInCodePage:
            return QStringLiteral("the command holds %1, which Windows-1250 cannot carry")
                .arg(detail);
        case Kind::ExpectBeforeCommand:
            return QStringLiteral("an expected line before the first command (>)");
        case Kind::NoCommand:
            return QStringLiteral("no command (>) in the file");
    }
    return {};
}
