// Finding text in the DATA view's text store: every match a plain string
// search finds, wherever the store's pieces begin and end, with and without
// regard to case; and a search in slices that lets reception go on.
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include "editingmodel.h"
#include "findsearch.h"
#include "testcharsets.h"
#include "textfinder.h"
#include "textstore.h"

namespace {

using TestCharsets::polish;

constexpr qsizetype kPiece = TextStore::PieceSize;

// A text store read as find reads the view's text (find asks for neither
// lines nor a caret).
class StoreText : public TextReader {
public:
    explicit StoreText(TextStore &&store) : m_store(std::move(store)) {}

    qsizetype length() const override { return m_store.size(); }
    QString mid(qsizetype position, qsizetype length) const override {
        return m_store.mid(position, length);
    }
    void visit(qsizetype position, qsizetype length, const SpanVisitor &visit) const override {
        m_store.visit(position, length, std::cref(visit));
    }
    TextLine lineAt(qsizetype) const override { return {}; }
    qsizetype caret() const override { return 0; }
    qsizetype anchor() const override { return 0; }

private:
    TextStore m_store;
};

// A text holding `text` in pieces that also end at each of `cuts`: a piece
// boundary stays where a large stretch was taken out and put back.
StoreText storeCutAt(const QString &text, const QList<qsizetype> &cuts,
                     std::shared_ptr<const ByteCharset> charset = ByteCharset::latin1()) {
    TextStore store(std::move(charset));
    store.append(text);
    for (const qsizetype cut : cuts) {
        const qsizetype length = qMax(kPiece, text.size() - cut);
        const qsizetype from = cut + kPiece <= text.size() ? cut : cut - length;
        TextStore taken = store.take(from, length);
        store.put(from, std::move(taken));
    }
    return StoreText(std::move(store));
}

// Every match of a plain string search, forward and backward, in ranges.
void compareWithPlainSearch(const StoreText &store, const QString &text, const QString &needle,
                            Qt::CaseSensitivity cs) {
    const TextFinder finder(needle, cs);
    QList<qsizetype> all;
    for (qsizetype at = text.indexOf(needle, 0, cs); at >= 0; at = text.indexOf(needle, at + 1, cs))
        all << at;
    QList<qsizetype> forward;
    for (qsizetype at = finder.findForward(store, 0, store.length()); at >= 0;
         at = finder.findForward(store, at + 1, store.length()))
        forward << at;
    QCOMPARE(forward, all);
    QList<qsizetype> backward;
    for (qsizetype at = finder.findBackward(store, 0, store.length()); at >= 0;
         at = finder.findBackward(store, 0, at))
        backward.prepend(at);
    QCOMPARE(backward, all);
}

}  // namespace

class TestTextFinder : public QObject {
    Q_OBJECT

private slots:
    // Pieces of bytes (Latin-1 or the Polish charset) and of two bytes a
    // character (where the text has characters beyond the charset) side by
    // side: a match inside either, or across from one to the other.
    void matchesAcrossPieces_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("cs");
        QTest::addColumn<bool>("polishBytes");
        QTest::newRow("one character") << "x" << int(Qt::CaseSensitive) << false;
        QTest::newRow("a reply") << "ERR 7" << int(Qt::CaseSensitive) << false;
        QTest::newRow("any case") << "err 7" << int(Qt::CaseInsensitive) << false;
        QTest::newRow("Polish, any case") << "zażółć" << int(Qt::CaseInsensitive) << false;
        QTest::newRow("Polish bytes, any case") << "zażółć" << int(Qt::CaseInsensitive) << true;
        QTest::newRow("Polish bytes, exact case") << "ŻÓŁW" << int(Qt::CaseSensitive) << true;
        QTest::newRow("across CR LF") << "OK\r\nSIZE" << int(Qt::CaseSensitive) << true;
        QTest::newRow("longer than a small piece")
            << QString(40, u'q') + "!" << int(Qt::CaseSensitive) << false;
        // Θ, θ, ϑ and ϴ all fold to θ: more than the filter takes.
        QTest::newRow("many forms of one letter") << "θx" << int(Qt::CaseInsensitive) << false;
        QTest::newRow("beyond the charset") << "aΩb" << int(Qt::CaseSensitive) << true;
        QTest::newRow("beyond the charset, any case") << "Ωą" << int(Qt::CaseInsensitive) << true;
    }

    void matchesAcrossPieces() {
        QFETCH(QString, needle);
        QFETCH(int, cs);
        QFETCH(bool, polishBytes);
        const auto sensitivity = Qt::CaseSensitivity(cs);
        // The needle, in other cases too, standing across piece boundaries
        // at every offset, and between pieces of a single character.
        QString text(4 * kPiece, u'.');
        QList<qsizetype> cuts;
        const QString other = sensitivity == Qt::CaseInsensitive ? needle.toUpper() : needle;
        for (qsizetype k = 0; k <= needle.size(); ++k) {
            const qsizetype at = (k + 1) * 997 + kPiece / 2 * (k % 7 + 1) - k;
            text.replace(at, needle.size(), k % 2 ? other : needle);
            cuts << at + k;
        }
        text.replace(3 * kPiece + 10, 3, QStringLiteral("ϑX!"));
        cuts << 3 * kPiece + 10 << 3 * kPiece + 11 << 3 * kPiece + 12;
        const StoreText store =
            storeCutAt(text, cuts, polishBytes ? polish() : ByteCharset::latin1());
        QCOMPARE(store.mid(0, store.length()), text);
        compareWithPlainSearch(store, text, needle, sensitivity);
    }

    void randomTextsAndNeedles() {
        QRandomGenerator random(808);
        const QString letters = QStringLiteral("abAB\r\nąĄ ");
        for (int round = 0; round < 40; ++round) {
            QString text;
            for (int i = 0; i < 3 * kPiece; ++i)
                text += letters.at(random.bounded(int(letters.size())));
            // In a few places a character no charset has: its piece is wide.
            for (int i = 0; i < round % 3; ++i) text[random.bounded(int(text.size()))] = u'Ω';
            QString needle;
            for (int i = 0, n = random.bounded(1, 6); i < n; ++i)
                needle += letters.at(random.bounded(int(letters.size())));
            QList<qsizetype> cuts;
            for (int i = 0; i < 5; ++i) cuts << random.bounded(int(text.size()));
            const StoreText store =
                storeCutAt(text, cuts, round % 4 < 2 ? polish() : ByteCharset::latin1());
            compareWithPlainSearch(store, text, needle,
                                   round % 2 ? Qt::CaseInsensitive : Qt::CaseSensitive);
        }
    }

    void rangesBoundWhereMatchesStart() {
        TextStore held;
        held.append(u"abcabcabc");
        const StoreText store(std::move(held));
        const TextFinder finder(u"cab", Qt::CaseSensitive);
        QCOMPARE(finder.findForward(store, 0, 3), 2);  // starts inside, ends past the range
        QCOMPARE(finder.findForward(store, 3, 5), -1);
        QCOMPARE(finder.findForward(store, 3, 6), 5);
        QCOMPARE(finder.findBackward(store, 0, 5), 2);
        QCOMPARE(finder.findBackward(store, 0, 9), 5);
        QCOMPARE(TextFinder(u"", Qt::CaseSensitive).findForward(store, 0, 9), -1);
        QCOMPARE(TextFinder(u"abcabcabcx", Qt::CaseSensitive).findForward(store, 0, 9), -1);
    }

    // The search goes around once; text received while it runs is searched
    // too, and an edit behind it makes the view begin again.
    void searchInSlicesGoesAroundAndSeesNewText() {
        EditingModel model;
        const QString filler(3 * (1 << 20), u'-');
        model.setText(QStringLiteral("ERR 1\r\n") + filler);
        FindSearch search(&model);
        search.setSliceTime(0);  // one slice a turn of the event loop
        QSignalSpy found(&search, &FindSearch::found);
        QSignalSpy notFound(&search, &FindSearch::notFound);
        const auto match = [&found] { return found.takeFirst().at(0).value<FindMatch>(); };
        using Route = FindMatch::Route;

        const TextFinder finder(u"err", Qt::CaseInsensitive);
        search.start(finder, 1, FindDirection::Forward);
        QVERIFY(search.isRunning());
        QCOMPARE(found.size(), 0);
        QTRY_COMPARE(found.size(), 1);
        QVERIFY(match() == (FindMatch{0, 3, Route::Around}));  // around from the start

        // A reply received during the search is found before going around.
        search.start(finder, 1, FindDirection::Forward);
        model.appendReceived(u"ERR 2\r\n");
        QTRY_COMPARE(found.size(), 1);
        QVERIFY(match() == (FindMatch{7 + filler.size(), 3, Route::Direct}));

        search.start(finder, model.length(), FindDirection::Backward);
        QTRY_COMPARE(found.size(), 1);
        QVERIFY(match() == (FindMatch{7 + filler.size(), 3, Route::Direct}));
        search.start(TextFinder(u"none", Qt::CaseSensitive), 0, FindDirection::Backward);
        QTRY_COMPARE(notFound.size(), 1);
        QCOMPARE(found.size(), 0);
    }
};

QTEST_MAIN(TestTextFinder)
#include "tst_textfinder.moc"
