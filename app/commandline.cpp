#include "commandline.h"

#include "kalvexversion.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr auto kCommandName = "rs232-kalvex";

}  // namespace

CommandLine::CommandLine() {
    m_parser.setApplicationDescription(
        QStringLiteral("Test console for a CompactFlash data logger on a serial port. The window's "
                       "texts are Polish; see man rs232-kalvex."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOption(m_demo);
}

void CommandLine::answerWithoutDisplay(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // Qt's own options are unknown here and reported by process(); only the
    // help and the version are looked for.
    m_parser.parse(arguments);
    const bool help = m_parser.isSet(QStringLiteral("help"));
    if (!help && !m_parser.isSet(QStringLiteral("version")))
        return;
    // The help's usage line names the program as it was called, which only
    // an application object knows; one without a GUI needs no display.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(kCommandName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KalvexVersion::kVersion));
    if (help)
        m_parser.showHelp(0);
    m_parser.showVersion();
}

void CommandLine::process(const QCoreApplication &app) {
    if (!m_parser.parse(app.arguments())) {
        std::fprintf(stderr, "%s: %s\n", kCommandName, qPrintable(m_parser.errorText()));
        std::exit(EXIT_FAILURE);
    }
    // --help-all lists Qt's own options too, which only the application knows.
    m_parser.process(app);
}
