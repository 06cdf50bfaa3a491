#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The benchmark's one table, worked out from the figures of every run: the
// console's DATA view and the literal baseline side by side, their ratio,
// the bare reader where it drained the same flood, and whether the console
// meets its goal.
class Report {
public:
    struct Cell {
        std::optional<double> value;
        QString text;  // shown instead of the value when set
        QString note;  // how the figure came about, when not plainly
    };
    struct Goal {
        enum Kind { None, AtLeast, AtMost, IsTrue } kind = None;
        double limit = 0;
    };
    struct Row {
        QString id;
        QString figure;
        Cell ours;
        Cell baseline;
        Goal goal;
        bool ratio = true;  // ours ÷ baseline means something
        Cell bare;          // the bare reader's figure, where it has one
    };

    // `results` holds "scale" and one entry per scenario, as the runner
    // gathers them; missing or failed scenarios give empty cells. The
    // ordinary flood's "ours" and "bare" are lists of runs, the i-th bare
    // reader run right after the i-th console run.
    explicit Report(const QJsonObject &results);

    const QList<Row> &rows() const { return m_rows; }
    const Row *row(const QString &id) const;

    // Whether a figure meets its goal; empty when the row has no goal.
    static std::optional<bool> met(const Row &row);

    // The table in Markdown, followed by its notes.
    QString markdown() const;

    // Three significant digits, without exponents in the usual range.
    static QString formatValue(double value);

private:
    void addRow(const QString &id, const QString &figure, Cell ours, Cell baseline, Goal goal,
                bool ratio = true, Cell bare = {});

    QJsonObject m_results;
    QList<Row> m_rows;
};
