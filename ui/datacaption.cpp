#include "datacaption.h"

#include "receivecounter.h"
#include "uilog.h"

#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace {

// The count is brought up to date this often while bytes come.
constexpr int kCountEveryMs = 250;
// The room between the caption and the line, and between its two labels.
constexpr int kGap = 16;

// The caption line of `frame`, in its coordinates.
QRect captionLine(QGroupBox *frame, const QWidget *content) {
    frame->ensurePolished();  // the caption's font comes from the style sheet
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.textAlignment = frame->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect caption = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                         QStyle::SC_GroupBoxLabel, frame);
    const int left = caption.right() + kGap;
    const int right = content->geometry().right();
    return QRect(left, caption.top(), right - left + 1, caption.height());
}

}  // namespace

DataCaption::DataCaption(QGroupBox *frame, const QWidget *content, ReceiveCounter *counter)
    : QWidget(frame), m_counter(counter), m_count(new QLabel(this)), m_log(new QLabel(this)) {
    setObjectName(QStringLiteral("dataCaption"));
    const QRect line = captionLine(frame, content);
    setGeometry(line);

    // The count: as wide as a count of a terabyte at ten megabytes a second
    // needs.
    m_count->setObjectName(QStringLiteral("receiveCounterLabel"));
    m_count->setTextFormat(Qt::PlainText);
    m_count->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ReceiveCounter widest;
    widest.add(999'999'999'999);
    m_count->setGeometry(0, 0, m_count->fontMetrics().horizontalAdvance(widest.text()) + 8,
                         line.height());
    m_count->hide();

    // The log's label: the rest of the line.
    m_log->setObjectName(QStringLiteral("receiveLogLabel"));
    m_log->setTextFormat(Qt::RichText);
    m_log->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int logLeft = m_count->geometry().right() + kGap;
    m_log->setGeometry(logLeft, 0, line.width() - logLeft, line.height());
    m_log->hide();

    m_countTimer.setInterval(kCountEveryMs);
    m_clock.start();
    connect(&m_countTimer, &QTimer::timeout, this, &DataCaption::showCount);
}

void DataCaption::restartCount() {
    m_counter->restart(m_clock.elapsed());
    showCount();
    m_count->show();
}

void DataCaption::countReceived(qint64 bytes) {
    if (!m_countTimer.isActive()) {
        // The first bytes after a pause: nothing came since the last sample.
        m_counter->sample(m_clock.elapsed());
        m_countTimer.start();
    }
    m_counter->add(bytes);
}

void DataCaption::showCount() {
    m_counter->sample(m_clock.elapsed());
    m_count->setText(m_counter->text());
    qCDebug(lcUi).noquote() << m_count->text();
    if (m_counter->isIdle())
        m_countTimer.stop();
}
