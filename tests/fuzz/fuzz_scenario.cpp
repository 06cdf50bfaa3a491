// The scenario file's reader on any bytes: it takes a file or refuses it
// with a line inside the file, never anything else; a taken file's steps
// are its commands, each one the device can take. And the line patterns
// against a plain reference matcher (dynamic programming over pattern and
// line), with an escaped line matching exactly itself.
#include "codepage.h"
#include "linepattern.h"
#include "scenario.h"
#include "scenarioerror.h"

#include <QString>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

bool reference(const QString &pattern, const QString &line) {
    // The pattern's items: a character, any one (?), or any run (*).
    struct Item {
        QChar c;
        enum { Literal, One, Run } kind;
    };
    std::vector<Item> items;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'\\' && i + 1 < pattern.size() &&
            (pattern.at(i + 1) == u'*' || pattern.at(i + 1) == u'?' || pattern.at(i + 1) == u'\\'))
            items.push_back({pattern.at(++i), Item::Literal});
        else if (c == u'*')
            items.push_back({c, Item::Run});
        else if (c == u'?')
            items.push_back({c, Item::One});
        else
            items.push_back({c, Item::Literal});
    }
    // can[j]: the items so far match the first j characters of the line.
    std::vector<bool> can(size_t(line.size()) + 1, false);
    can[0] = true;
    for (const Item &item : items) {
        std::vector<bool> next(can.size(), false);
        for (size_t j = 0; j < can.size(); ++j) {
            if (item.kind == Item::Run)
                next[j] = can[j] || (j > 0 && next[j - 1]);
            else if (j > 0)
                next[j] = can[j - 1] && (item.kind == Item::One || line.at(j - 1) == item.c);
        }
        can = std::move(next);
    }
    return can.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The first line is a pattern, the rest lines to match.
    const QList<QByteArray> lines = bytes.split('\n');
    const LinePattern pattern(QString::fromUtf8(lines.first()));
    for (qsizetype i = 1; i < lines.size() && i < 8; ++i) {
        const QString line = QString::fromUtf8(lines.at(i));
        // The reference takes the pattern's length times the line's.
        const bool small = pattern.text().size() * line.size() <= 100'000;
        if (small && pattern.matches(line) != reference(pattern.text(), line))
            std::abort();
        if (!LinePattern(LinePattern::escape(line)).matches(line))
            std::abort();
    }

    int count = 1;
    for (const char c : bytes) count += c == '\n' || c == '\r';
    try {
        const Scenario scenario = Scenario::parse(bytes);
        qsizetype sends = 0;
        for (const ScenarioAction &a : scenario.actions())
            sends += a.kind == ScenarioAction::Kind::Send;
        if (scenario.steps().isEmpty() || scenario.steps().size() != sends)
            std::abort();
        for (const ScenarioStep &step : scenario.steps()) {
            if (scenario.actions().at(step.send).kind != ScenarioAction::Kind::Send ||
                step.end <= step.send || step.end > scenario.actions().size() ||
                step.command.size() > Scenario::kLongestCommand ||
                !CodePage::charset()->covers(step.command) || step.line < 1 || step.line > count)
                std::abort();
        }
    } catch (const ScenarioError &e) {
        if (e.line() < 0 || e.line() > count)
            std::abort();
    }
    return 0;
}
