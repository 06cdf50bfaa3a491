#include "textsavejob.h"

#include "lineindex.h"
#include "writeall.h"

#include <QSaveFile>
#include <QThread>

namespace {

using Result = TextSaveJob::Result;
using Outcome = Result::Outcome;

// Encoded text goes to the file in blocks of about this many bytes.
constexpr qsizetype kBlock = 1 << 20;

Result ended(Outcome outcome) {
    Result result;
    result.outcome = outcome;
    return result;
}

Result failed(FileFailure::Kind kind, const QString &path, const QString &reason) {
    Result result;
    result.outcome = Outcome::Failed;
    result.failure = {kind, path, reason};
    return result;
}

// Where a character is, as the operator finds it, by the view's line rule.
Result unencodable(const TextSnapshot &text, qsizetype position) {
    Result result;
    result.outcome = Outcome::Unencodable;
    result.position = position;
    qsizetype line = 1;
    qsizetype lineStart = 0;
    qsizetype at = 0;
    LineEndScan scan;
    text.visit(0, [&](const TextSpan &span) {
        const qsizetype n = qMin(span.size(), position - at);
        for (qsizetype i = 0; i < n; ++i) {
            const auto kind = scan.next(span.isWide() ? span.chars()[i] : span.bytes()[i]);
            if (kind == LineEndScan::Char::End)
                ++line;
            if (kind != LineEndScan::Char::Text)
                lineStart = at + i + 1;
        }
        at += n;
        return at < position;
    });
    result.line = line;
    result.column = position - lineStart + 1;
    const QString pair = text.mid(position, 2);
    result.character =
        pair.size() == 2 && pair.at(0).isHighSurrogate() && pair.at(1).isLowSurrogate()
            ? pair
            : pair.left(1);
    return result;
}

// Visits the text's spans as TextSnapshot::visit() does, and calls
// lineStart(position) before the first character of every line, by the
// view's line rule (the end of the text starts none).
template <typename Visit, typename LineStart>
void visitLines(const TextSnapshot &text, Visit visit, LineStart lineStart) {
    qsizetype at = 0;
    bool afterBreak = true;
    LineEndScan scan;
    text.visit(0, [&](const TextSpan &span) {
        qsizetype from = 0;
        for (qsizetype i = 0; i < span.size(); ++i) {
            const auto kind = scan.next(span.isWide() ? span.chars()[i] : span.bytes()[i]);
            if (afterBreak && kind != LineEndScan::Char::EndRest) {
                if (i > from && !visit(span.mid(from, i - from)))
                    return false;
                from = i;
                lineStart(at + i);
                afterBreak = false;
            }
            afterBreak = afterBreak || kind != LineEndScan::Char::Text;
        }
        at += span.size();
        return visit(span.mid(from, span.size() - from));
    });
}

}  // namespace

TextSaveJob::TextSaveJob(TextSnapshot text, QString path, Encoding encoding, QObject *parent)
    : QObject(parent), m_text(std::move(text)), m_path(std::move(path)), m_encoding(encoding) {}

TextSaveJob::TextSaveJob(TextSnapshot text, QString path, Encoding encoding, Lines lines,
                         QObject *parent)
    : TextSaveJob(std::move(text), std::move(path), encoding, parent) {
    m_lines = lines;
}

TextSaveJob::~TextSaveJob() {
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void TextSaveJob::start() {
    Q_ASSERT(!m_thread);
    m_thread = QThread::create(
        [this] { m_result = write(m_text, m_path, m_encoding, m_control, m_lines); });
    connect(m_thread, &QThread::finished, this, &TextSaveJob::finished);
    m_thread->start();
}

Result TextSaveJob::write(const TextSnapshot &text, const QString &path, Encoding encoding,
                          Control &control, Lines lines) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(FileFailure::Kind::Open, path, file.errorString());
    TextEncoder encoder(encoding, text.charset());
    QByteArray block;
    block.reserve(kBlock + 3 * TextSnapshot::SpanSize);
    bool cancelled = false;
    bool writeFailed = false;
    const auto encodeSpan = [&](const TextSpan &span) {
        if (control.isCancelled()) {
            cancelled = true;
            return false;
        }
        if (!encoder.encode(span, block))
            return false;
        if (block.size() >= kBlock) {
            if (writeAll(file, block) < block.size()) {
                writeFailed = true;
                return false;
            }
            block.truncate(0);  // keeps its room
        }
        control.done.store(encoder.position(), std::memory_order_relaxed);
        return true;
    };
    if (lines == Lines::WithReceiveTimes) {
        // The time and a tab in front of a line, ASCII in either encoding.
        visitLines(text, encodeSpan, [&](qsizetype start) {
            if (const std::optional<qint64> time = text.receiveTime(start))
                block += ReceiveTimes::text(*time).toLatin1();
            block += '\t';
        });
    } else {
        text.visit(0, encodeSpan);
    }
    // Nothing is committed unless all went well: the temporary file goes.
    if (cancelled) {
        file.cancelWriting();
        return ended(Outcome::Cancelled);
    }
    if (!writeFailed && !encoder.finish()) {
        file.cancelWriting();
        return unencodable(text, encoder.failedAt());
    }
    if (writeFailed || writeAll(file, block) < block.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(FileFailure::Kind::Write, path, reason);
    }
    // The last step, the sync and the rename, cannot be interrupted: a
    // cancel that came before it, however late, wins; none comes after.
    if (!control.beginLastStep()) {
        file.cancelWriting();
        return ended(Outcome::Cancelled);
    }
    if (!file.commit())
        return failed(FileFailure::Kind::Commit, path, file.errorString());
    control.done.store(text.size(), std::memory_order_relaxed);
    return ended(Outcome::Saved);
}
