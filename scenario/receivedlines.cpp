#include "receivedlines.h"

#include "codepage.h"

void ReceivedLines::feed(QByteArrayView bytes, const Sink &sink) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        switch (m_scan.next(char16_t(uchar(bytes[i])))) {
            case LineEndScan::Char::Text:
                break;
            case LineEndScan::Char::End:
                m_line.append(bytes.sliced(start, i - start));
                sink(CodePage::decode(m_line));
                m_line.truncate(0);
                start = i + 1;
                break;
            case LineEndScan::Char::EndRest:
                start = i + 1;
                break;
        }
    }
    m_line.append(bytes.sliced(start));
}

void ReceivedLines::clear() {
    m_scan = LineEndScan();
    m_line.clear();
}
