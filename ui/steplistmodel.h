#pragma once

#include "scenario.h"
#include "stepresult.h"

#include <QAbstractTableModel>
#include <QList>

// The steps of a scenario as a table, for the window "Scenariusz testu":
// a row a step, with ✔ / ✘ (or nothing while not run), the file's line, the
// command, the time from the send to its last expected line, and for a
// failed step what was expected and what came. No widget: tests drive it
// without the window.
class StepListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ResultColumn, LineColumn, CommandColumn, TimeColumn, NoteColumn, ColumnCount };

    using QAbstractTableModel::QAbstractTableModel;

    // Every step not run.
    void setScenario(const Scenario &scenario);
    void setResult(qsizetype step, const StepResult &result);
    // Every step back to not run.
    void clearResults();

    const Scenario &scenario() const { return m_scenario; }
    const StepResult &result(qsizetype step) const { return m_results.at(step); }
    qsizetype passedCount() const;
    // The first failed step, or -1.
    qsizetype failedStep() const;

    // Why a step failed, in the window's words; empty unless it failed or
    // was stopped.
    static QString failureText(const StepResult &result);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    Scenario m_scenario;
    QList<StepResult> m_results;
};
