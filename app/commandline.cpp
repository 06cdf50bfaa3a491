#include "commandline.h"

#include "kalvexversion.h"
#include "portnumber.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr auto kCommandName = "rs232-kalvex";

void nameCommand() {
    QCoreApplication::setApplicationName(QString::fromLatin1(kCommandName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(KalvexVersion::kVersion));
}

}  // namespace

CommandLine::CommandLine() {
    m_parser.setApplicationDescription(QStringLiteral(
        "Test console for a CompactFlash data logger on a serial port. The window's texts are "
        "Polish; see man rs232-kalvex.\n"
        "\n"
        "A test scenario (--run, or \"Scenariusz testu...\" in the window) is a UTF-8 file, one "
        "item a line:\n"
        "  > TEXT       send TEXT and CR, in Windows-1250, as a command button does\n"
        "  < PATTERN    the next received line must match PATTERN: * any run of\n"
        "               characters, ? one character; \\*, \\? and \\\\ for themselves\n"
        "  << PATTERN   skip received lines until one matches\n"
        "  timeout MS   time allowed for each following expected line (2000 until set)\n"
        "  wait MS      pause\n"
        "  # comment    blank lines are ignored too\n"
        "A step is one > line with the < and << lines after it; a run stops at the first\n"
        "step that fails. For example:\n"
        "  # a repaired card\n"
        "  > DSTA\n"
        "  < OK CF READY\n"
        "  > DCLR\n"
        "  < OK CLEARED\n"
        "  > WRTEzażółć 123\n"
        "  < OK 1\n"
        "  > REDL1\n"
        "  < zażółć 123\n"
        "  > REDA\n"
        "  << END 1"));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOption(m_demo);
    m_parser.addOption(m_log);
    m_parser.addOption(m_run);
    m_parser.addOption(m_port);
    m_parser.addOption(m_repeat);
    m_parser.addOption(m_junit);
}

void CommandLine::answerWithoutDisplay(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // Qt's own options are unknown here and reported by process(); only the
    // help and the version are looked for. A word with one dash is one
    // option, as Qt reads its own (-reverse, -platformtheme NAME), not a
    // row of letters: "-reverse" holds a "v" and "-platformtheme" an "h".
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.parse(arguments);
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const bool helpAll = m_parser.isSet(QStringLiteral("help-all"));
    const bool help = m_parser.isSet(QStringLiteral("help"));
    if (helpAll) {
        // Qt's own options are listed by the GUI application, which the
        // minimal platform starts without a display; the help is all that
        // is said (not, say, that XDG_RUNTIME_DIR is unset).
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        std::vector<char *> withPlatform(argv, argv + argc);
        char platform[] = "-platform";
        char minimal[] = "minimal";
        withPlatform.insert(withPlatform.end(), {platform, minimal, nullptr});
        int count = argc + 2;
        QApplication app(count, withPlatform.data());
        nameCommand();
        m_parser.process(app);
    }
    if (!help && !m_parser.isSet(QStringLiteral("version"))) {
        refuseRunOptionsWithoutRun();
        return;
    }
    // The help's usage line names the program as it was called, which only
    // an application object knows; one without a GUI needs no display.
    QCoreApplication app(argc, argv);
    nameCommand();
    if (help)
        m_parser.showHelp(0);
    m_parser.showVersion();
}

// The run's own options mean nothing to the window: said before a display
// is needed.
void CommandLine::refuseRunOptionsWithoutRun() const {
    if (headless())
        return;
    for (const QCommandLineOption *option : {&m_port, &m_repeat, &m_junit}) {
        if (m_parser.isSet(*option)) {
            std::fprintf(stderr, "%s: --%s goes with --run\n", kCommandName,
                         qPrintable(option->names().first()));
            std::exit(EXIT_FAILURE);
        }
    }
}

void CommandLine::process(const QCoreApplication &app, int failureStatus) {
    if (!m_parser.parse(app.arguments())) {
        std::fprintf(stderr, "%s: %s\n", kCommandName, qPrintable(m_parser.errorText()));
        std::exit(failureStatus);
    }
    m_parser.process(app);
}

bool CommandLine::headlessOptions(HeadlessRun::Options &options) const {
    // A whole number from `low` to `high`, or a message.
    const auto number = [this](const QCommandLineOption &option, int low, int high, int &out) {
        bool ok = false;
        const int value = m_parser.value(option).toInt(&ok);
        if (ok && value >= low && value <= high) {
            out = value;
            return true;
        }
        std::fprintf(stderr, "%s: --%s %s: not a number from %d to %d\n", kCommandName,
                     qPrintable(option.names().first()), qPrintable(m_parser.value(option)), low,
                     high);
        return false;
    };
    options.file = m_parser.value(m_run);
    options.junit = m_parser.value(m_junit);
    options.log = logFile();
    options.demo = demo();
    return number(m_port, PortNumber::kFirst, PortNumber::kLast, options.port) &&
           number(m_repeat, 1, std::numeric_limits<int>::max(), options.repeat);
}
