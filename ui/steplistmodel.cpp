#include "steplistmodel.h"

#include "runreport.h"

#include <QColor>

namespace {

// Quoted as Polish quotes a text.
QString quoted(const QString &text) {
    return QStringLiteral("„%1”").arg(RunReport::visible(text));
}

}  // namespace

void StepListModel::setScenario(const Scenario &scenario) {
    beginResetModel();
    m_scenario = scenario;
    m_results = QList<StepResult>(scenario.steps().size());
    endResetModel();
}

void StepListModel::setResult(qsizetype step, const StepResult &result) {
    if (step < 0 || step >= m_results.size())
        return;
    m_results[step] = result;
    emit dataChanged(index(int(step), 0), index(int(step), ColumnCount - 1));
}

void StepListModel::clearResults() {
    m_results.fill(StepResult());
    if (!m_results.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

qsizetype StepListModel::passedCount() const {
    return std::count_if(m_results.cbegin(), m_results.cend(),
                         [](const StepResult &r) { return r.passed(); });
}

qsizetype StepListModel::failedStep() const {
    for (qsizetype i = 0; i < m_results.size(); ++i)
        if (m_results.at(i).outcome == StepResult::Outcome::Failed)
            return i;
    return -1;
}

QString StepListModel::failureText(const StepResult &r) {
    using Fault = StepResult::Fault;
    if (r.outcome == StepResult::Outcome::Stopped)
        return tr("zatrzymany");
    if (r.outcome != StepResult::Outcome::Failed)
        return {};
    const QString expected = tr("wiersz %1: oczekiwano %2").arg(r.line).arg(quoted(r.expected));
    switch (r.fault) {
        case Fault::Mismatch:
            return tr("%1, odebrano %2").arg(expected, quoted(r.received));
        case Fault::Timeout:
            if (r.skipping)
                return tr("%1, żadna linia nie pasowała w ciągu %2 ms (pominięto: %3)")
                    .arg(expected)
                    .arg(r.timeoutMs)
                    .arg(r.skipped);
            return tr("%1, nic nie nadeszło w ciągu %2 ms").arg(expected).arg(r.timeoutMs);
        case Fault::PortFailed:
            return tr("%1: błąd portu: %2")
                .arg(r.expected.isEmpty() ? tr("wiersz %1").arg(r.line) : expected, r.reason);
        case Fault::SendFailed:
            return tr("wiersz %1: nie można wysłać polecenia: %2").arg(r.line).arg(r.reason);
        case Fault::None:
            break;
    }
    return {};
}

int StepListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_results.size());
}

int StepListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StepListModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= m_results.size())
        return {};
    const StepResult &r = m_results.at(index.row());
    const ScenarioStep &step = m_scenario.steps().at(index.row());
    using Outcome = StepResult::Outcome;
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case ResultColumn:
                switch (r.outcome) {
                    case Outcome::Passed:
                        return QStringLiteral("✔");
                    case Outcome::Failed:
                        return QStringLiteral("✘");
                    case Outcome::Running:
                        return QStringLiteral("…");
                    case Outcome::Stopped:
                        return QStringLiteral("■");
                    case Outcome::NotRun:
                        return QString();
                }
                break;
            case LineColumn:
                return step.line;
            case CommandColumn:
                return RunReport::visible(step.command);
            case TimeColumn:
                return r.passed() ? RunReport::duration(r.elapsedUs) : QString();
            case NoteColumn:
                return failureText(r);
        }
    }
    if (role == Qt::ForegroundRole && index.column() == ResultColumn) {
        if (r.outcome == Outcome::Passed)
            return QColor(0x00, 0x80, 0x00);
        if (r.outcome == Outcome::Failed)
            return QColor(0xc0, 0x00, 0x00);
    }
    if (role == Qt::TextAlignmentRole &&
        (index.column() == LineColumn || index.column() == TimeColumn))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::TextAlignmentRole && index.column() == ResultColumn)
        return int(Qt::AlignCenter);
    return {};
}

QVariant StepListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
        case ResultColumn:
            return tr("Wynik");
        case LineColumn:
            return tr("Wiersz");
        case CommandColumn:
            return tr("Polecenie");
        case TimeColumn:
            return tr("Czas");
        case NoteColumn:
            return tr("Uwagi");
    }
    return {};
}
