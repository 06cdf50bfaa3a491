// Fuzzing of the DATA view: any sequence of received chunks, clearing,
// typing, deleting, pasting, undoing and redoing keeps its text exactly what
// a plain string model says, keeps its lines true to its text, and never
// crashes.
//
// The view reads bytes as Windows-1250, as the console's does, and holds
// them one byte a character. Characters beyond the code page are typed,
// pasted and received as text, so pieces switch between one byte and two a
// character and back, undo and redo included; the fuzz build makes pieces
// 64 characters long (KALVEX_TEXTSTORE_PIECE_SIZE), so that inputs of a few
// hundred bytes already cross, cut and move many of them.
//
// The string model knows exactly what reception, typing, deleting a
// selection and pasting do. Backspace and Delete follow rules of their own
// (whole CR LF, display breaks, surrogate pairs): what they did is taken
// from the view, checked to be one stretch taken out at the caret, and from
// then on the model holds the view to it. Every step of edits is kept in
// the model as the text it replaced, so undo and redo are checked exactly,
// whatever was received in between.
//
// Received lines get receive times. After each input every step is undone
// and redone again: each time must be back where it was. The hex view's rows
// of the text must map every position there and back, and read as one text.
#include "codepage.h"
#include "dataview_p.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

QApplication *app = nullptr;
DataView *view = nullptr;

// The view's own model, as the engine's parts reach it.
EditingModel &viewModel() {
    return DataViewPrivate::get(view)->model();
}

void check(bool ok, int line = __builtin_LINE()) {
    if (!ok) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

// The view's displayed lines put back together give its text.
void checkLines(const QString &text) {
    const EditingModel &shown = viewModel();
    QString joined;
    for (qsizetype number = 0; number < shown.lineCount(); ++number) {
        const TextLine line = shown.line(number);
        check(line.start == joined.size());
        joined += shown.lineText(number);
        switch (line.end) {
            case LineEnd::CrLf:
                joined += u"\r\n";
                break;
            case LineEnd::Cr:
                joined += u'\r';
                break;
            case LineEnd::Lf:
                joined += u'\n';
                break;
            case LineEnd::None:
                check(number == shown.lineCount() - 1);
                break;
            case LineEnd::Break:
                check(line.length <= LineIndex::Limit);
                break;
        }
    }
    check(joined == text);
}

// One step of edits: `removed` at position became `inserted`.
struct Step {
    qsizetype position;
    QString removed;
    QString inserted;
};

Step difference(const QString &before, const QString &after) {
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {prefix, before.mid(prefix, before.size() - prefix - suffix),
            after.mid(prefix, after.size() - prefix - suffix)};
}

class Model {
public:
    void reset(const QString &text) {
        m_text = text;
        m_undo.clear();
        m_redo.clear();
        view->setText(text);
    }

    void receive(const QString &chunk) {
        view->appendReceived(chunk);
        m_text += chunk;
    }

    void receive(QByteArrayView bytes) {
        view->appendReceivedBytes(bytes);
        m_text += CodePage::decode(bytes.data(), bytes.size());
    }

    // An operator edit is done on the view; `expected` is what the text must
    // become, or empty when the view's own result is taken.
    template <typename Edit>
    void operatorEdit(Edit edit, const QString *expected) {
        const EditingModel &model = viewModel();
        const int stepsBefore = model.history().undoSteps();
        const QString before = m_text;
        edit();
        const QString after = view->text();
        if (expected)
            check(after == *expected);
        const int steps = model.history().undoSteps();
        // (Pasting over a selection the same text is a step that changes
        // nothing one can see.)
        if (after == before && steps == stepsBefore)
            return;
        if (steps == stepsBefore + 1) {
            m_stepBase = before;
            m_undo.push_back(difference(before, after));
        } else if (steps == stepsBefore) {
            // Merged into the step before, which began from m_stepBase.
            check(!m_undo.empty());
            m_undo.back() = difference(m_stepBase, after);
        } else {
            // Presses split by a display break they stepped over made more
            // than one step: the text is taken as it is, with a new history.
            check(steps > stepsBefore);
            reset(after);
            return;
        }
        m_redo.clear();
        m_text = after;
    }

    void undo() {
        viewModel().undo();
        if (m_undo.empty()) {
            check(view->text() == m_text);
            return;
        }
        Step step = m_undo.back();
        m_undo.pop_back();
        m_text.replace(step.position, step.inserted.size(), step.removed);
        m_redo.push_back(step);
        check(view->text() == m_text);
    }

    void redo() {
        viewModel().redo();
        if (m_redo.empty()) {
            check(view->text() == m_text);
            return;
        }
        Step step = m_redo.back();
        m_redo.pop_back();
        m_text.replace(step.position, step.removed.size(), step.inserted);
        m_undo.push_back(step);
        check(view->text() == m_text);
    }

    const QString &text() const { return m_text; }

private:
    QString m_text;
    QString m_stepBase;
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
};

Model *model = nullptr;

// Every receive time, by position.
std::vector<std::pair<qsizetype, qint64>> receiveTimes() {
    std::vector<std::pair<qsizetype, qint64>> times;
    const ReceiveTimes &held = viewModel().receiveTimes();
    for (qsizetype at = 0; at <= viewModel().length(); ++at) {
        if (const std::optional<qint64> time = held.at(at))
            times.emplace_back(at, *time);
    }
    check(qsizetype(times.size()) == held.count());
    return times;
}

void checkUndoRedoKeepsTimes() {
    const auto before = receiveTimes();
    const QString text = view->text();
    int undone = 0;
    for (; viewModel().canUndo(); ++undone) viewModel().undo();
    for (int i = 0; i < undone; ++i) viewModel().redo();
    check(view->text() == text);
    check(receiveTimes() == before);
}

void checkHexRows() {
    const HexRows &rows = DataViewPrivate::get(view)->hexRows();
    QString joined;
    for (qsizetype row = 0; row < rows.rowCount(); ++row) {
        const QString text = rows.rowText(row);
        check(row + 1 == rows.rowCount() || text.size() == rows.rowWidth());
        joined += text;
        if (row + 1 < rows.rowCount())
            joined += u'\n';
    }
    check(rows.mid(0, rows.length()) == joined);
    for (qsizetype at = 0; at <= viewModel().length(); ++at)
        check(rows.textPosition(rows.rowsPosition(at)) == at);
}

qsizetype positionFrom(uint8_t byte) {
    return viewModel().length() == 0 ? 0 : qsizetype(byte) * (viewModel().length() + 1) / 256;
}

// A character to type or paste: mostly ASCII, else a Polish letter (a byte
// of the code page), a character the code page lacks, or a surrogate pair.
QString characterFrom(uint8_t byte) {
    static const QString polish = QStringLiteral("ąęłńóśźżĄĘŁŃÓŚŹŻ€");
    static const QString beyond = QStringLiteral("ΩЖ中é");
    switch (byte % 8) {
        case 5:
            return polish.at(byte / 8 % polish.size());
        case 6:
            return beyond.at(byte / 8 % beyond.size());
        case 7:
            return QStringLiteral("\U0001F600");
        default:
            return QChar(u'a' + byte % 26);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_dataview";
    static char *argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    view = new DataView;
    view->setByteCharset(CodePage::charset());
    view->resize(400, 200);
    view->show();
    model = new Model;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    model->reset(QStringLiteral("DATA\r\n"));
    viewModel().setRecordingTimes(true);

    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        // Far below the bound on steps, so that every step stays countable.
        if (viewModel().history().undoSteps() >= UndoHistory::MaxSteps - 1)
            model->reset(model->text());
        const uint8_t op = next();
        const size_t length = op >> 3;
        switch (op & 7) {
            case 0:
            case 1: {  // a received chunk: bytes of every value, or now and
                       // then text with characters beyond the code page
                const size_t take = qMin(length * 4, size - at);
                const char *bytes = reinterpret_cast<const char *>(data + at);
                if ((op & 7) == 1 && length % 4 == 0) {
                    QString chunk;
                    for (size_t i = 0; i < take; ++i) chunk += characterFrom(uint8_t(bytes[i]));
                    model->receive(chunk);
                } else {
                    model->receive(QByteArrayView(bytes, qsizetype(take)));
                }
                at += take;
                break;
            }
            case 2: {  // text typed at a place, perhaps after Enter; letters
                       // from the keys, the rest from an input method
                viewModel().setCaret(positionFrom(next()));
                const qsizetype caret = viewModel().caret();
                QString typed;
                for (size_t i = 0; i < length % 8; ++i) typed += characterFrom(next());
                QString expected = model->text();
                expected.insert(caret, (length & 8 ? QStringLiteral("\r\n") : QString()) + typed);
                model->operatorEdit(
                    [&] {
                        if (length & 8)
                            QTest::keyClick(view, Qt::Key_Return);
                        for (qsizetype i = 0; i < typed.size(); ++i) {
                            const QChar ch = typed.at(i);
                            if (ch >= u'a' && ch <= u'z') {
                                QTest::keyClick(view, ch.toLatin1());
                                continue;
                            }
                            const qsizetype n = ch.isHighSurrogate() ? 2 : 1;
                            QInputMethodEvent commit;
                            commit.setCommitString(typed.mid(i, n));
                            QApplication::sendEvent(view, &commit);
                            i += n - 1;
                        }
                    },
                    &expected);
                break;
            }
            case 3: {  // a selection deleted, or replaced by pasted text
                viewModel().setCaret(positionFrom(next()), positionFrom(next()));
                const qsizetype from = qMin(viewModel().caret(), viewModel().anchor());
                const qsizetype to = qMax(viewModel().caret(), viewModel().anchor());
                QString pasted;
                for (size_t i = 0; i < length % 4; ++i) {
                    const uint8_t c = next();
                    // Control characters too.
                    pasted += c % 2 ? QString(QChar(char16_t(c / 2))) : characterFrom(c / 2);
                }
                QString expected = model->text();
                expected.replace(from, to - from, EditingModel::windowsLineEnds(pasted));
                model->operatorEdit(
                    [&] {
                        if (!pasted.isEmpty())
                            viewModel().paste(pasted);
                        else if (from < to)
                            QTest::keyClick(view, Qt::Key_Delete);
                    },
                    &expected);
                break;
            }
            case 4:    // Backspace, several times
            case 5: {  // Delete, several times
                viewModel().setCaret(positionFrom(next()));
                const qsizetype caret = viewModel().caret();
                const int presses = 1 + int(length % 4);
                const bool back = (op & 7) == 4;
                const QString before = model->text();
                model->operatorEdit(
                    [&] {
                        for (int i = 0; i < presses; ++i)
                            QTest::keyClick(view, back ? Qt::Key_Backspace : Qt::Key_Delete);
                    },
                    nullptr);
                // One stretch of at most two characters a press, taken out
                // right before (after) the caret.
                const QString after = view->text();
                const qsizetype n = before.size() - after.size();
                check(n >= 0 && n <= 2 * presses);
                if (back)
                    check(n <= caret && after == before.left(caret - n) + before.mid(caret));
                else
                    check(after == before.left(caret) + before.mid(caret + n));
                break;
            }
            case 6:  // undo, several times
                for (size_t i = 0; i <= length % 4; ++i) model->undo();
                break;
            case 7:
                if (length == 0) {
                    model->reset(QString());  // clear DATA
                } else {
                    for (size_t i = 0; i <= length % 4; ++i) model->redo();
                }
                break;
        }
        check(view->text() == model->text());
    }
    checkLines(model->text());
    checkHexRows();
    checkUndoRedoKeepsTimes();
    return 0;
}
