// A Kelo run as a process of its own, for the tests of the temporary file
// between several running Kelo windows:
//
//   tempfile_worker FOLDER rounds SEED COUNT
//       waits for a line on its input (so that all workers start at once),
//       then passes COUNT texts of its own (different for every seed and
//       round) through the clean-up and through the emptying of lines with
//       the program's own code, and checks each result against the line
//       rules applied to the text directly. Prints "ok COUNT", or the first
//       wrong rounds and "failed N" (exit status 1).
//   tempfile_worker FOLDER hold NAME...
//       takes a temporary file under each name as a run does, prints the
//       path of each on a line of its own, then "ready", and holds them
//       until its input closes; then deletes them as a run does.
#include "tools/linerules.h"
#include "tools/tempfile.h"
#include "tools/textpassage.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using kelo::PassageResult;
using kelo::TextPassage;

// Blank lines, runs of spaces, lines to empty, all three line breaks, and a
// size that changes from round to round.
QByteArray textFor(unsigned seed, int round)
{
    std::mt19937 random(seed * 100003u + unsigned(round));
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    static const char *const pieces[] = {"wort", " ",    "  ", "    ",     "abc", "ä",
                                         "\t",   "\r\n", "\r", "\r\n\r\n", "\n"};
    QByteArray text = QByteArray("Lauf ") + QByteArray::number(seed) + " Runde " +
                      QByteArray::number(round) + "\r\n";
    for (int n = pick(100, 4000); n > 0; --n) {
        text += pieces[pick(0, 10)];
        if (pick(0, 40) == 0)
            text += QByteArray::number(seed * 1000u + unsigned(round));
    }
    return text;
}

int runRounds(const QString &folder, unsigned seed, int count)
{
    std::string go;
    std::getline(std::cin, go);
    const TextPassage leerzeilen{.rewrite = kelo::cleanLines, .rebuild = kelo::joinFileLines};
    const TextPassage emptying{.rewrite = {}, .rebuild = [](QByteArrayView lines) {
                                   return kelo::emptyLinesContaining(lines, "abc");
                               }};
    int failures = 0;
    for (int round = 0; round < count; ++round) {
        const QByteArray text = textFor(seed, round);
        const struct {
            const char *what;
            const TextPassage &passage;
            QByteArray expected;
        } kinds[] = {{"blank lines", leerzeilen, kelo::cleanLines(text)},
                     {"emptying", emptying, kelo::emptyLinesContaining(text, "abc")}};
        for (const auto &kind : kinds) {
            const PassageResult result = kelo::passThroughTemporaryFile(folder, text, kind.passage);
            const QByteArray made = result.edits ? result.edits->appliedTo(text) : QByteArray();
            if (result.edits && made == kind.expected)
                continue;
            if (++failures > 3)
                continue; // the count says the rest
            if (!result.edits) {
                std::printf("round %d, %s: %s\n", round, kind.what,
                            result.error.toUtf8().constData());
            } else {
                std::printf("round %d, %s: a text not its own (%lld bytes, expected %lld)\n", round,
                            kind.what, static_cast<long long>(made.size()),
                            static_cast<long long>(kind.expected.size()));
            }
        }
    }
    if (failures > 0) {
        std::printf("failed %d\n", failures);
        return 1;
    }
    std::printf("ok %d\n", count);
    return 0;
}

int hold(const QString &folder, const std::vector<QString> &names)
{
    std::vector<std::unique_ptr<kelo::TemporaryTextFile>> held;
    for (const QString &name : names) {
        auto file = std::make_unique<kelo::TemporaryTextFile>(folder, name);
        const QByteArray content = QByteArray("gehalten: ") + name.toUtf8();
        if (!file->writeText(content)) {
            std::printf("%s\n", file->errorString().toUtf8().constData());
            return 1;
        }
        std::printf("%s\n", file->path().toUtf8().constData());
        held.push_back(std::move(file));
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 4 && args[1] == "rounds")
        return runRounds(QString::fromStdString(args[0]), unsigned(std::stoul(args[2])),
                         std::stoi(args[3]));
    if (args.size() >= 3 && args[1] == "hold") {
        std::vector<QString> names;
        for (std::size_t i = 2; i < args.size(); ++i)
            names.push_back(QString::fromStdString(args[i]));
        return hold(QString::fromStdString(args[0]), names);
    }
    std::fprintf(stderr, "usage: tempfile_worker FOLDER rounds SEED COUNT | FOLDER hold NAME...\n");
    return 2;
}
