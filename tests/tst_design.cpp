// The two window designs against their tables: each control's kind,
// container, place and size, text, state, font and colours, plus the tab
// order, the fixed sizes, the icons and whether every caption fits.

#include "../ui/ui_form1.h"
#include "../ui/ui_form2.h"
#include "consoleservices.h"
#include "fontfallback.h"
#include "form1.h"
#include "kalvexversion.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImageReader>
#include <QStyleOptionButton>
#include <QtTest>

#include <limits>

namespace {

enum class Font { Window, FrameCaption, Box, Banner, AboutLine, Dedication };
enum Flag {
    ReadOnly = 0x1,
    BlueText = 0x2,
    RedText = 0x4,
    BlackText = 0x8,
    WhiteBackground = 0x10,
};

// Places and sizes in twips, as the design tables give them.
struct Control {
    const char *name;
    const char *className;
    const char *parent;
    int left, top, width, height;
    const char *text;  // caption, title or initial text (UTF-8)
    Font font;
    int flags;
};

const Control kForm1[] = {
    {"Frame2", "QGroupBox", "Form1", 120, 120, 1815, 2895, "Port", Font::FrameCaption, BlackText},
    {"Frame3", "QGroupBox", "Form1", 2040, 120, 3495, 2895, "Operacja czas / data",
     Font::FrameCaption, 0},
    {"Frame4", "QGroupBox", "Form1", 5640, 120, 3975, 2895, "Operacje kontrolne dysku",
     Font::FrameCaption, 0},
    {"Frame5", "QGroupBox", "Form1", 120, 3120, 7455, 2415, "Operacje zapisu i odczytu",
     Font::FrameCaption, 0},
    {"Frame6", "QGroupBox", "Form1", 7680, 3120, 1935, 2415, "", Font::Window, 0},
    {"Frame1", "QGroupBox", "Form1", 120, 5640, 9495, 4095, "Dane", Font::FrameCaption, 0},

    {"Command1", "QPushButton", "Frame2", 240, 600, 1335, 495, "Otwórz port", Font::Window, 0},
    {"Command2", "QPushButton", "Frame2", 240, 1320, 1335, 495, "Zamknij port", Font::Window, 0},
    {"Label1", "QLabel", "Frame2", 120, 2160, 735, 255, "Nr portu:", Font::Window, 0},
    {"Text7", "QLineEdit", "Frame2", 840, 2160, 615, 285, "2", Font::Window, 0},

    {"Text1", "QLineEdit", "Frame3", 240, 600, 1455, 315, "SETT17:07:15", Font::Box,
     WhiteBackground},
    {"Command3", "QPushButton", "Frame3", 1920, 600, 1335, 315, "Ustaw CZAS", Font::Window, 0},
    {"Text2", "QLineEdit", "Frame3", 240, 1080, 1455, 315, "SETD03-02", Font::Box, 0},
    {"Command4", "QPushButton", "Frame3", 1920, 1080, 1335, 315, "Ustaw DATE", Font::Window, 0},
    {"Command7", "QPushButton", "Frame3", 1920, 1800, 1335, 315, "Pobierz CZAS", Font::Window, 0},
    {"Command8", "QPushButton", "Frame3", 1920, 2280, 1335, 315, "Pobierz DATE", Font::Window, 0},
    // These two belong to the window, placed over Frame3.
    {"Text5", "QLineEdit", "Form1", 2280, 1920, 1455, 315, "GETT", Font::Box, ReadOnly},
    {"Text6", "QLineEdit", "Form1", 2280, 2400, 1455, 315, "GETD", Font::Box, ReadOnly},

    {"Text9", "QLineEdit", "Frame4", 240, 600, 1215, 315, "DSTA", Font::Box, ReadOnly},
    {"Command10", "QPushButton", "Frame4", 1680, 600, 1935, 315, "Sprawdź status dysku",
     Font::Window, 0},
    {"Text10", "QLineEdit", "Frame4", 240, 1080, 1215, 315, "DSIZ", Font::Box, ReadOnly},
    {"Command11", "QPushButton", "Frame4", 1680, 1080, 1935, 315, "Sprawdź rozmiar dysku",
     Font::Window, 0},
    {"Text11", "QLineEdit", "Frame4", 240, 1800, 1215, 315, "DFRE", Font::Box, ReadOnly},
    {"Command12", "QPushButton", "Frame4", 1680, 1800, 1935, 315, "Sprawdź wolny obszar",
     Font::Window, 0},
    {"Text15", "QLineEdit", "Frame4", 240, 2280, 1215, 315, "DCLR", Font::Box, ReadOnly},
    {"Command9", "QPushButton", "Frame4", 1680, 2280, 1935, 315, "Wyczyść pamięć", Font::Window, 0},

    {"Text8", "QLineEdit", "Frame5", 240, 360, 1455, 315, "WRTE", Font::Box, ReadOnly},
    {"Text16", "QLineEdit", "Frame5", 2040, 360, 3255, 315, "TEKST DO ZAPISU", Font::Box, 0},
    {"Command13", "QPushButton", "Frame5", 5400, 360, 1935, 315, "Zapisz bez czasu i daty",
     Font::Window, 0},
    {"Text17", "QLineEdit", "Frame5", 240, 840, 1455, 315, "WRTF", Font::Box, ReadOnly},
    {"Text18", "QLineEdit", "Frame5", 2040, 840, 3255, 315, "TEKST DO ZAPISU", Font::Box, 0},
    {"Command16", "QPushButton", "Frame5", 5400, 840, 1935, 315, "Zapisz z czasem i data",
     Font::Window, 0},
    {"Text12", "QLineEdit", "Frame5", 240, 1440, 1455, 315, "REDL", Font::Box, ReadOnly},
    {"Text14", "QLineEdit", "Frame5", 2040, 1440, 1215, 315, "1", Font::Box, 0},
    {"Command14", "QPushButton", "Frame5", 3360, 1440, 1935, 315, "Odczytaj linię", Font::Window,
     0},
    {"Text13", "QLineEdit", "Frame5", 240, 1920, 1455, 315, "REDA", Font::Box, ReadOnly},
    {"Command17", "QPushButton", "Frame5", 3360, 1920, 1935, 315, "Odczytaj wszystko", Font::Window,
     0},

    {"Label2", "QLabel", "Frame6", 240, 240, 1575, 255, "", Font::Window, BlueText},
    {"Command19", "QToolButton", "Frame6", 240, 600, 1455, 855, "O programie...", Font::Window, 0},
    {"Command21", "QToolButton", "Frame6", 240, 1560, 1455, 735, "Zakończ program", Font::Window,
     0},

    {"Command5", "QPushButton", "Frame1", 240, 600, 1095, 375, "Czyść DATA", Font::Window, 0},
    {"Picture1", "QFrame", "Frame1", 1680, 240, 7575, 1095, nullptr, Font::Window, WhiteBackground},
    {"Text3", "DataView", "Frame1", 240, 1560, 9015, 2295, nullptr, Font::Window, 0},
    {"Picture2", "QLabel", "Picture1", 480, 240, 735, 615, nullptr, Font::Window, WhiteBackground},
    {"Label3", "QLabel", "Picture1", 1320, 240, 6015, 615, KalvexVersion::kLongName, Font::Banner,
     BlueText},
};

const Control kForm2[] = {
    {"Picture1", "QFrame", "Form2", 120, 120, 6495, 1335, nullptr, Font::Window, 0},
    {"Frame2", "QGroupBox", "Form2", 120, 1560, 6495, 3375, "", Font::Window, 0},
    {"Label1", "QLabel", "Picture1", 480, 360, 5655, 735, KalvexVersion::kLongName, Font::Banner,
     BlueText},
    {"Label2", "QLabel", "Frame2", 2040, 360, 3375, 255, nullptr, Font::AboutLine, 0},
    {"Label3", "QLabel", "Frame2", 2040, 720, 2295, 255, nullptr, Font::AboutLine, 0},
    {"Label4", "QLabel", "Frame2", 1440, 1080, 4095, 255, nullptr, Font::AboutLine, 0},
    {"Label6", "QLabel", "Frame2", 1560, 1440, 3375, 255, nullptr, Font::AboutLine, 0},
    {"Label5", "QLabel", "Frame2", 960, 2040, 4695, 615, nullptr, Font::Dedication, RedText},
    {"Command1", "QPushButton", "Frame2", 2400, 2880, 1935, 375, "Zamknij", Font::Window, 0},
};

// Controls in increasing Tab value, leaving out those that take no focus.
const char *const kForm1TabOrder[] = {
    "Command5",  "Text3",    "Command2",  "Command1",  "Text1",     "Command3", "Text2",
    "Command4",  "Command7", "Command8",  "Text5",     "Text6",     "Text7",    "Text9",
    "Command10", "Text10",   "Text11",    "Command11", "Command12", "Text8",    "Text12",
    "Text13",    "Command9", "Text15",    "Text16",    "Command13", "Text14",   "Command14",
    "Text17",    "Text18",   "Command16", "Command17", "Command19", "Command21"};

struct FontLook {
    int pixelSize;
    bool bold;
    bool italic;
};

// 8.25, 9.75, 17.25 and 12 points at 96 dots per inch.
FontLook fontLook(Font font) {
    switch (font) {
        case Font::Window:
            return {11, false, false};
        case Font::FrameCaption:
            return {11, true, false};
        case Font::Box:
            return {13, false, false};
        case Font::Banner:
            return {23, true, false};
        case Font::AboutLine:
            return {13, true, false};
        case Font::Dedication:
            return {16, false, true};
    }
    return {};
}

QString shownText(const QWidget *w) {
    if (auto b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return {};
}

// The named controls of a design, without Qt's own inner widgets.
QList<QWidget *> designControls(QWidget *form) {
    QList<QWidget *> out;
    for (QWidget *w : form->findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            out.append(w);
    }
    return out;
}

struct IcoImage {
    int width = 0, height = 0, colours = 0, bitCount = 0;
    int headerBitCount = 0, headerHeight = 0;
    QList<QRgb> palette;
    bool sizeConsistent = false;
};

// Reads the directory and each image's bitmap header of an icon file.
QList<IcoImage> readIco(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    // Little-endian, byte by byte; past the end reads as 0, which no check
    // below accepts.
    const auto read = [&d](qsizetype at, int size) {
        quint32 value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | quint8(at + i < d.size() ? d.at(at + i) : 0);
        return value;
    };
    const auto u16 = [&](qsizetype at) { return quint16(read(at, 2)); };
    const auto u32 = [&](qsizetype at) { return read(at, 4); };
    if (d.size() < 6 || u16(0) != 0 || u16(2) != 1)
        return {};
    QList<IcoImage> images;
    for (int i = 0; i < u16(4); ++i) {
        const qsizetype entry = 6 + 16 * i;
        if (d.size() < entry + 16)
            return {};
        IcoImage img;
        img.width = quint8(d[entry]) ? quint8(d[entry]) : 256;
        img.height = quint8(d[entry + 1]) ? quint8(d[entry + 1]) : 256;
        img.colours = quint8(d[entry + 2]);
        img.bitCount = u16(entry + 6);
        const quint32 bytes = u32(entry + 8);
        const quint32 at = u32(entry + 12);
        if (qsizetype(at) + 40 > d.size() || u32(at) != 40)
            return {};
        img.headerHeight = qint32(u32(at + 8));
        img.headerBitCount = u16(at + 14);
        const int colours = u32(at + 32) ? int(u32(at + 32)) : (1 << img.headerBitCount);
        for (int c = 0; c < colours && at + 40 + 4 * c + 4 <= quint32(d.size()); ++c) {
            const qsizetype p = at + 40 + 4 * c;
            img.palette.append(qRgb(quint8(d[p + 2]), quint8(d[p + 1]), quint8(d[p])));
        }
        // Header, palette, the XOR image and the one-bit AND mask, rows padded to 32 bits.
        const int xorStride = (img.width * img.headerBitCount + 31) / 32 * 4;
        const int andStride = (img.width + 31) / 32 * 4;
        img.sizeConsistent =
            bytes == quint32(40 + 4 * colours + (xorStride + andStride) * img.height) &&
            qsizetype(at) + bytes <= d.size();
        images.append(img);
    }
    return images;
}

const QList<QRgb> kClassicPalette = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

}  // namespace

class TestDesign : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void noOtherControls();
    void windows();
    void buttonsAndCaptions();
    void dataView();
    void fontFallback();
    void captionsFit();
    void bannerIsWhiteBehindTitle();
    void tabOrder();
    void icons_data();
    void icons();
    void iconsShown();
    void desktopIconMatchesApplicationIcon();

private:
    QWidget *form(const QString &name) const { return name == "Form1" ? m_form1 : m_form2; }

    QWidget *m_form1 = nullptr;
    QWidget *m_form2 = nullptr;
    Ui::Form1 m_ui1;
    Ui::Form2 m_ui2;
    ConsoleServices m_services;  // for the windows made whole
};

void TestDesign::initTestCase() {
    installFontFallbacks();
}

void TestDesign::init() {
    m_form1 = new QWidget;
    m_ui1.setupUi(m_form1);
    m_form2 = new QWidget;
    m_ui2.setupUi(m_form2);
    m_form1->ensurePolished();
    m_form2->ensurePolished();
}

void TestDesign::cleanup() {
    delete m_form1;
    delete m_form2;
}

void TestDesign::controls_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kForm1)); ++i)
        QTest::addRow("Form1.%s", kForm1[i].name) << QStringLiteral("Form1") << i;
    for (int i = 0; i < int(std::size(kForm2)); ++i)
        QTest::addRow("Form2.%s", kForm2[i].name) << QStringLiteral("Form2") << i;
}

void TestDesign::controls() {
    QFETCH(QString, form);
    QFETCH(int, row);
    const Control &c = form == "Form1" ? kForm1[row] : kForm2[row];

    QWidget *w = this->form(form)->findChild<QWidget *>(c.name);
    QVERIFY2(w, c.name);
    QCOMPARE(w->metaObject()->className(), c.className);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), QString::fromLatin1(c.parent));

    // Inside a picture box places count from the inner area, inside its border.
    int inset = 0;
    if (auto box = qobject_cast<QFrame *>(w->parentWidget()))
        inset = box->frameWidth();
    QCOMPARE(w->geometry(),
             QRect(c.left / 15 + inset, c.top / 15 + inset, c.width / 15, c.height / 15));

    if (c.text)
        QCOMPARE(shownText(w), QString::fromUtf8(c.text));

    if (auto edit = qobject_cast<QLineEdit *>(w)) {
        QCOMPARE(edit->isReadOnly(), bool(c.flags & ReadOnly));
        QCOMPARE(edit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        // Any text, however long: Qt's default would cut it at 32767 characters.
        QCOMPARE(edit->maxLength(), std::numeric_limits<int>::max());
    }

    const FontLook look = fontLook(c.font);
    QCOMPARE(w->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(w->font().pixelSize(), look.pixelSize);
    QCOMPARE(w->font().bold(), look.bold);
    QCOMPARE(w->font().italic(), look.italic);

    const QColor text = w->palette().color(QPalette::WindowText);
    if (c.flags & BlueText)
        QCOMPARE(text, QColor(0, 0, 255));
    if (c.flags & RedText)
        QCOMPARE(text, QColor(255, 0, 0));
    if (c.flags & BlackText)
        QCOMPARE(text, QColor(0, 0, 0));
    if (c.flags & WhiteBackground)
        QCOMPARE(w->palette().color(w->backgroundRole()), QColor(255, 255, 255));
}

void TestDesign::noOtherControls() {
    for (const auto &[form, table, count] :
         {std::tuple{m_form1, kForm1, std::size(kForm1)}, {m_form2, kForm2, std::size(kForm2)}}) {
        QStringList expected;
        for (size_t i = 0; i < count; ++i) expected << QString::fromLatin1(table[i].name);
        QStringList actual;
        for (QWidget *w : designControls(form)) actual << w->objectName();
        expected.sort();
        actual.sort();
        QCOMPARE(actual, expected);
    }
}

void TestDesign::windows() {
    QCOMPARE(m_form1->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_form1->minimumSize(), QSize(649, 666));
    QCOMPARE(m_form1->maximumSize(), QSize(649, 666));
    QCOMPARE(m_form1->size(), QSize(649, 666));
    // The caption is the program's title and the author credit, which the
    // window puts together itself.
    const QString prefix = QString::fromUtf8(KalvexVersion::kProgramTitle) + u' ';
    const QString title = Form1(m_services).windowTitle();
    QVERIFY2(title.startsWith(prefix), qPrintable(title));
    QVERIFY2(title.size() > prefix.size() && !title.at(prefix.size()).isSpace(),
             "an author credit follows after exactly one space");

    QCOMPARE(m_form2->objectName(), QStringLiteral("Form2"));
    QCOMPARE(m_form2->minimumSize(), QSize(448, 338));
    QCOMPARE(m_form2->maximumSize(), QSize(448, 338));
    QCOMPARE(m_form2->size(), QSize(448, 338));
    QCOMPARE(m_form2->windowTitle(), QStringLiteral("O programie..."));

    // Text5 and Text6 lie over Frame3 and must be drawn in front of it.
    const QList<QObject *> order = m_form1->children();
    QVERIFY(order.indexOf(m_ui1.Text5) > order.indexOf(m_ui1.Frame3));
    QVERIFY(order.indexOf(m_ui1.Text6) > order.indexOf(m_ui1.Frame3));
    QCOMPARE(m_form1->childAt(m_ui1.Text5->geometry().center()), m_ui1.Text5);
    QCOMPARE(m_form1->childAt(m_ui1.Text6->geometry().center()), m_ui1.Text6);

    // Every About line has something after its prefix, and none is blank.
    for (QLabel *l : {m_ui2.Label2, m_ui2.Label3, m_ui2.Label4, m_ui2.Label6, m_ui2.Label5})
        QVERIFY2(!l->text().trimmed().isEmpty(), qPrintable(l->objectName()));
    QVERIFY(m_ui2.Label5->wordWrap());
    QCOMPARE(m_ui2.Label5->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

void TestDesign::buttonsAndCaptions() {
    for (QWidget *form : {m_form1, m_form2}) {
        QVERIFY(!form->windowTitle().contains(u'&'));
        for (QWidget *w : designControls(form)) {
            QVERIFY2(!shownText(w).contains(u'&'), qPrintable(w->objectName()));
            if (auto b = qobject_cast<QPushButton *>(w)) {
                QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(w->objectName()));
            }
            // Frames, labels and picture boxes take no focus; every button and box does.
            const bool control = qobject_cast<QAbstractButton *>(w) ||
                                 qobject_cast<QLineEdit *>(w) || qobject_cast<DataView *>(w);
            QCOMPARE(w->focusPolicy(), control ? Qt::StrongFocus : Qt::NoFocus);
        }
    }
}

void TestDesign::dataView() {
    DataView *view = m_ui1.Text3;
    QVERIFY(!view->isReadOnly());
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // Tab leaves the view, as it leaves every other control.
    QVERIFY(view->tabChangesFocus());
    // "DATA" and its CR LF. The form compiler keeps only the LF of the
    // design's CR LF; the window puts the full line end back.
    const Form1 window(m_services);
    QCOMPARE(window.findChild<DataView *>(QStringLiteral("Text3"))->text(),
             QStringLiteral("DATA\r\n"));
}

void TestDesign::fontFallback() {
    const QFont font = m_ui1.Command1->font();
    QCOMPARE(font.families().value(0), QStringLiteral("MS Sans Serif"));
    const QString resolved = QFontInfo(font).family();
    if (!QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))) {
        // The font the captions are measured in must be one of the stand-ins.
        QVERIFY2(QFont::substitutes(QStringLiteral("MS Sans Serif"))
                     .contains(resolved, Qt::CaseInsensitive),
                 qPrintable(resolved));
    }
    QCOMPARE(QFontInfo(m_ui1.Label3->font()).pixelSize(), 23);
    QVERIFY(QFontInfo(m_ui1.Label3->font()).bold());
    QVERIFY(QFontInfo(m_ui2.Label5->font()).italic());
}

void TestDesign::captionsFit() {
    for (QWidget *form : {m_form1, m_form2}) {
        for (QWidget *w : designControls(form)) {
            const QString name = w->objectName();
            const QFontMetrics fm(w->font());
            if (auto b = qobject_cast<QPushButton *>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(b);
                opt.text = b->text();
                const QRect room =
                    b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
                QVERIFY2(fm.horizontalAdvance(b->text()) <= room.width(), qPrintable(name));
                QVERIFY2(fm.height() <= room.height(), qPrintable(name));
            } else if (auto t = qobject_cast<QToolButton *>(w)) {
                // The icon above the caption, both inside the frame.
                const int frame = t->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, t);
                QVERIFY2(fm.horizontalAdvance(t->text()) + 2 * frame <= t->width(),
                         qPrintable(name));
                QVERIFY2(t->iconSize().height() + fm.height() + 2 * frame <= t->height(),
                         qPrintable(name));
            } else if (auto e = qobject_cast<QLineEdit *>(w)) {
                // Inside the frame Qt keeps two pixels of margin on either
                // side of the text and one above and below it.
                const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
                QVERIFY2(fm.horizontalAdvance(e->text()) + 2 * (frame + 2) <= e->width(),
                         qPrintable(name));
                QVERIFY2(fm.height() + 2 * (frame + 1) <= e->height(), qPrintable(name));
            } else if (auto l = qobject_cast<QLabel *>(w); l && !l->text().isEmpty()) {
                if (l->wordWrap()) {
                    QVERIFY2(l->heightForWidth(l->width()) <= l->height(), qPrintable(name));
                } else {
                    QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(name));
                    QVERIFY2(l->sizeHint().height() <= l->height(), qPrintable(name));
                }
            } else if (auto g = qobject_cast<QGroupBox *>(w)) {
                QVERIFY2(g->minimumSizeHint().width() <= g->width(), qPrintable(name));
            }
        }
    }
    // The clock label takes a date and a time of the usual numeric formats.
    const QFontMetrics clock(m_ui1.Label2->font());
    QVERIFY(clock.horizontalAdvance(QStringLiteral("31.12.2099 23:59:59")) <=
            m_ui1.Label2->width());
}

void TestDesign::bannerIsWhiteBehindTitle() {
    // Label3 has no background of its own, so the banner's white shows
    // around and behind its letters; the icon holder is white as well.
    const QImage banner = m_ui1.Picture1->grab().toImage();
    const QRect title = m_ui1.Label3->geometry();
    QCOMPARE(QColor(banner.pixel(title.right() - 2, title.bottom() - 2)), QColor(Qt::white));
    QCOMPARE(QColor(banner.pixel(title.left() - 3, title.center().y())), QColor(Qt::white));
    bool blue = false;
    for (int x = title.left(); x <= title.right() && !blue; ++x)
        blue = QColor(banner.pixel(x, title.top() + 14)) == QColor(0, 0, 255);
    QVERIFY2(blue, "the title's letters are blue");

    const QImage holder = m_ui1.Picture2->grab().toImage();
    QCOMPARE(QColor(holder.pixel(holder.width() - 5, holder.height() - 5)), QColor(Qt::white));
    const QImage text1 = m_ui1.Text1->grab().toImage();
    QCOMPARE(QColor(text1.pixel(4, text1.height() / 2)), QColor(Qt::white));
}

void TestDesign::tabOrder() {
    m_form1->show();
    m_form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form1));
    QTRY_COMPARE(QApplication::focusWidget(), m_ui1.Command5);

    QStringList visited{QApplication::focusWidget()->objectName()};
    for (size_t i = 0; i < std::size(kForm1TabOrder); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QStringList expected;
    for (const char *name : kForm1TabOrder) expected << QString::fromLatin1(name);
    expected << expected.first();  // and round again
    QCOMPARE(visited, expected);

    // Backwards from the first control reaches the last.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), m_ui1.Command21);
}

void TestDesign::icons_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("sizes");
    QTest::newRow("application") << QStringLiteral(":/icons/app.ico") << QList<int>{32, 16};
    QTest::newRow("about") << QStringLiteral(":/icons/about.ico") << QList<int>{32, 16};
    QTest::newRow("exit") << QStringLiteral(":/icons/exit.ico") << QList<int>{32};
}

void TestDesign::icons() {
    QFETCH(QString, path);
    QFETCH(QList<int>, sizes);

    const QList<IcoImage> images = readIco(path);
    QCOMPARE(images.size(), sizes.size());
    for (int i = 0; i < images.size(); ++i) {
        const IcoImage &img = images[i];
        QCOMPARE(img.width, sizes[i]);
        QCOMPARE(img.height, sizes[i]);
        QCOMPARE(img.colours, 16);
        QCOMPARE(img.bitCount, 4);
        QCOMPARE(img.headerBitCount, 4);
        QCOMPARE(img.headerHeight, 2 * sizes[i]);  // image and mask
        QCOMPARE(img.palette, kClassicPalette);
        QVERIFY(img.sizeConsistent);
    }

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("ico"));
    QCOMPARE(reader.imageCount(), sizes.size());
    for (int i = 0; i < sizes.size(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(sizes[i], sizes[i]));
        // Some pixels are see-through, some are not.
        int clear = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) clear += qAlpha(image.pixel(x, y)) == 0;
        QVERIFY(clear > 0 && clear < image.width() * image.height());
    }
}

void TestDesign::iconsShown() {
    for (const auto &[icon, sizes] :
         {std::pair{m_form1->windowIcon(), QList<QSize>{{16, 16}, {32, 32}}},
          {m_form2->windowIcon(), QList<QSize>{{16, 16}, {32, 32}}},
          {m_ui1.Command19->icon(), QList<QSize>{{16, 16}, {32, 32}}},
          {m_ui1.Command21->icon(), QList<QSize>{{32, 32}}}}) {
        QList<QSize> available = icon.availableSizes();
        std::sort(available.begin(), available.end(),
                  [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(available, sizes);
    }
    QCOMPARE(m_ui1.Command19->iconSize(), QSize(32, 32));
    QCOMPARE(m_ui1.Command21->iconSize(), QSize(32, 32));
    QCOMPARE(m_ui1.Command19->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(m_ui1.Command21->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // The window icon and the icon holder show the same picture.
    const QImage held = m_ui1.Picture2->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(held.size(), QSize(32, 32));
    QCOMPARE(held,
             QImage(QStringLiteral(":/icons/app.ico")).convertToFormat(QImage::Format_ARGB32));
}

void TestDesign::desktopIconMatchesApplicationIcon() {
    // The desktop's icons in the hicolor theme are the application icon's
    // images, one for each size it has.
    QImageReader ico(QStringLiteral(":/icons/app.ico"));
    QCOMPARE(ico.imageCount(), 2);
    for (int i = 0; i < ico.imageCount(); ++i) {
        QVERIFY(ico.jumpToImage(i));
        const QImage image = ico.read().convertToFormat(QImage::Format_ARGB32);
        const int size = image.width();
        const QString png = QFINDTESTDATA(
            QStringLiteral("../resources/icons/hicolor/%1x%1/apps/rs232-kalvex.png").arg(size));
        QVERIFY2(!png.isEmpty(), qPrintable(QStringLiteral("no %1x%1 desktop icon").arg(size)));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_ARGB32), image);
    }
}

QTEST_MAIN(TestDesign)
#include "tst_design.moc"
