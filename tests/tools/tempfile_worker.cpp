// A Kelo run as a process of its own, for the temporary-file tests:
//
//   tempfile_worker FOLDER rounds SEED COUNT
//       waits for a line on its input (so that all workers start at once),
//       then passes COUNT texts of its own through the clean-up and the
//       emptying of lines, each checked against the line rules on the text.
//       Prints "ok COUNT", or the first wrong round (exit status 1).
//   tempfile_worker FOLDER hold NAME...
//       takes a temporary file under each name, prints each path on a line,
//       then "ready", and holds them until its input closes.
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

// Blank lines, runs of spaces, lines to empty, all three line breaks.
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
    for (int round = 0; round < count; ++round) {
        const QByteArray text = textFor(seed, round);
        const std::pair<const TextPassage &, QByteArray> kinds[] = {
            {leerzeilen, kelo::cleanLines(text)},
            {emptying, kelo::emptyLinesContaining(text, "abc")}};
        for (const auto &[passage, expected] : kinds) {
            const PassageResult result = kelo::passThroughTemporaryFile(folder, text, passage);
            if (!result.edits || result.edits->appliedTo(text) != expected) {
                std::printf("failed in round %d: %s\n", round, result.error.toUtf8().constData());
                return 1;
            }
        }
    }
    std::printf("ok %d\n", count);
    return 0;
}

int hold(const QString &folder, const std::vector<std::string> &names)
{
    std::vector<std::unique_ptr<kelo::TemporaryTextFile>> held;
    for (const std::string &name : names) {
        auto file = std::make_unique<kelo::TemporaryTextFile>(folder, QString::fromStdString(name));
        if (!file->writeText(QByteArray::fromStdString("gehalten: " + name))) {
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
    if (args.size() >= 3 && args[1] == "hold")
        return hold(QString::fromStdString(args[0]), {args.begin() + 2, args.end()});
    std::fprintf(stderr, "usage: tempfile_worker FOLDER rounds SEED COUNT | FOLDER hold NAME...\n");
    return 2;
}
