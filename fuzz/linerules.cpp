// The line reader of the temporary file and the clean-up rules against a
// plain reading of their rules:
//  - a line ends at CR LF or at a lone CR; a lone LF is an ordinary
//    character; the break after the last line yields no empty line after it;
//  - "Leerzeilen": in every line each pair of spaces becomes one space, over
//    and over until no pair is left; a line that is then nothing but spaces
//    (or nothing) goes; every kept line gets CR LF;
//  - "ganze Zeile löschen": every line that contains the text (exactly) is
//    emptied, its line break stays; every line gets CR LF;
//  - the edits that hand a result to the editor make exactly that result.
#include "editsapplied.h"
#include "fuzzcheck.h"

#include "tools/linerules.h"
#include "tools/tempfile.h"
#include "tools/textchanges.h"

#include <QList>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

QList<QByteArray> referenceLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    QByteArray line;
    bool open = false; // a line has begun that no break has ended yet
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.append(line);
            line.clear();
            open = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += bytes[i];
            open = true;
        }
    }
    if (open)
        lines.append(line);
    return lines;
}

QByteArray cleaned(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (QByteArray line : lines) {
        while (line.contains("  "))
            line.replace("  ", " ");
        if (line.count(' ') == line.size())
            continue;
        out += line + "\r\n";
    }
    return out;
}

QByteArray emptied(const QList<QByteArray> &lines, const QByteArray &text)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += (line.contains(text) ? QByteArray() : line) + "\r\n";
    return out;
}

QByteArray joined(const QList<QByteArray> &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + "\r\n";
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool textFromFile = input.ConsumeBool();
    // The rules are also made in blocks of whole lines, as a long run does
    // to show its progress; they must give the same.
    const auto blockSize = qsizetype(input.ConsumeIntegralInRange<int>(1, 16));
    QByteArray text = fuzz::takeBytes(input, 8);
    const QByteArray file = fuzz::takeRest(input);
    // Mostly a text that occurs: a piece of the file itself.
    if (textFromFile && !file.isEmpty() && !text.isEmpty()) {
        const auto from = static_cast<unsigned char>(text[0]) % file.size();
        const auto length = text.size() > 1 ? static_cast<unsigned char>(text[1]) % 6 : 1;
        text = file.mid(from, length);
    }

    const QList<QByteArray> lines = referenceLines(file);
    QList<QByteArray> read;
    forEachFileLine(file, [&read](QByteArrayView line) { read.append(line.toByteArray()); });
    FUZZ_CHECK(read == lines, "file " + literal(file) + ": " + std::to_string(read.size()) +
                                  " lines read, " + std::to_string(lines.size()) + " expected");

    const QByteArray clean = cleanLines(file);
    FUZZ_CHECK(clean == cleaned(lines), "file " + literal(file) + "\ncleaned to " +
                                            literal(clean) + "\nexpected " +
                                            literal(cleaned(lines)));
    const QByteArray empty = emptyLinesContaining(file, text);
    FUZZ_CHECK(empty == emptied(lines, text), "file " + literal(file) + ", text " +
                                                  literal(text) + "\nemptied to " +
                                                  literal(empty) + "\nexpected " +
                                                  literal(emptied(lines, text)));
    FUZZ_CHECK(joinFileLines(file) == joined(lines), "file " + literal(file));
    // The editor is handed the tools' results as edits of the text before.
    for (const QByteArray &after : {clean, empty, text})
        FUZZ_CHECK(fuzz::editsApplied(file, lineEdits(file, after)) == after,
                   "edits from " + literal(file) + " to " + literal(after));

    // Blocks of whole lines cut from pieces of the file as they are read,
    // and the edits found as the tools' results of them come.
    QByteArray cleanInBlocks;
    QByteArray emptyInBlocks;
    LineEditsFinder cleanEdits(file);
    LineEditsFinder emptyEdits(file);
    QByteArray held;
    for (qsizetype at = 0;;) {
        const qsizetype piece = std::min(blockSize, file.size() - at);
        held += file.mid(at, piece);
        at += piece;
        const bool atEnd = at == file.size();
        const qsizetype cut = wholeLinesEnd(held, atEnd);
        const QByteArray block = held.first(cut);
        held.remove(0, cut);
        const bool afterBreak = block.endsWith('\r') ? !held.startsWith('\n') : block.endsWith("\r\n");
        FUZZ_CHECK(block.isEmpty() || atEnd || afterBreak,
                   "block " + literal(block) + " of file " + literal(file));
        const QByteArray cleanBlock = cleanLines(block);
        const QByteArray emptyBlock = emptyLinesContaining(block, text);
        cleanInBlocks += cleanBlock;
        emptyInBlocks += emptyBlock;
        cleanEdits.add(cleanBlock);
        emptyEdits.add(emptyBlock);
        if (atEnd)
            break;
    }
    FUZZ_CHECK(cleanInBlocks == clean,
               "cleaned in blocks of " + std::to_string(blockSize) + ": file " + literal(file));
    FUZZ_CHECK(emptyInBlocks == empty, "emptied in blocks of " + std::to_string(blockSize) +
                                           ": file " + literal(file) + ", text " + literal(text));
    FUZZ_CHECK(fuzz::editsApplied(file, cleanEdits.finish()) == clean,
               "edits in blocks of " + std::to_string(blockSize) + " to " + literal(clean));
    FUZZ_CHECK(fuzz::editsApplied(file, emptyEdits.finish()) == empty,
               "edits in blocks of " + std::to_string(blockSize) + " to " + literal(empty));
    return 0;
}
