#include "tools/textpassage.h"

#include "platform/memoryroom.h"
#include "platform/workprogress.h"
#include "tools/tempfile.h"
#include "tools/textchanges.h"

#include <QDir>

#include <algorithm>

namespace kelo {

namespace {

constexpr int rewriteParts = 5; // read, write the copy, read it, the rule, write

// Tells the meter that a step of `size` units is over; false to stop.
bool stepDone(WorkMeter *meter, qint64 size)
{
    return !meter || meter->partDone(size);
}

} // namespace

int passageParts(const TextPassage &passage)
{
    // Written, (rewritten,) read back, rebuilt.
    return 3 + (passage.rewrite ? rewriteParts : 0);
}

PassageResult passThroughTemporaryFile(const QString &programFolder, QByteArrayView utf8,
                                       const TextPassage &passage, WorkMeter *meter)
{
    const auto failed = [](PassageStep step, const QString &error) {
        return PassageResult{std::nullopt, step, error};
    };
    const PassageResult cancelled{std::nullopt, PassageStep::None, {}, true};
    // The destructor deletes the file on every way out.
    TemporaryTextFile file(temporaryFolder(programFolder));
    if (!file.writeText(utf8))
        return failed(PassageStep::Write, file.errorString());
    if (!stepDone(meter, utf8.size()))
        return cancelled;
    if (passage.rewrite) {
        if (const std::optional<QString> error = rewriteThroughCopy(file, passage.rewrite, meter))
            return failed(PassageStep::Rewrite, *error);
        if (meter && meter->stopped())
            return cancelled;
    }
    // Read back and rebuilt a block of lines at a time, each block's new
    // lines weighed against the text as they come and only the edits kept:
    // neither the lines read nor the new text are ever held whole. The two
    // steps count as one.
    PassageResult result{TextEdits{}, PassageStep::None, {}};
    LineEditsFinder finder(utf8);
    bool roomForEdits = true;
    qint64 done = 0;
    const bool read = file.readLineBlocks([&](QByteArrayView block) {
        try {
            finder.add(passage.rebuild(block));
        } catch (const std::bad_alloc &) {
            roomForEdits = false;
            return false;
        }
        done += block.size();
        return !meter || meter->within(2 * done);
    });
    if (!read)
        return failed(PassageStep::Read, file.errorString());
    if (!roomForEdits)
        return failed(PassageStep::Read, noRoomForNewText());
    if (!stepDone(meter, 2 * qint64(utf8.size())))
        return cancelled;
    if (!file.remove())
        return failed(PassageStep::Remove, file.errorString());
    try {
        result.edits = finder.finish();
    } catch (const std::bad_alloc &) {
        return failed(PassageStep::Read, noRoomForNewText());
    }
    return result;
}

std::optional<QString> rewriteThroughCopy(TemporaryTextFile &file, const LineRule &rule,
                                          WorkMeter *meter)
{
    TemporaryTextFile copy(file.folder(), QStringLiteral("Temp_") + file.fileName());
    // Both passages go a block of lines at a time, so the text is never held
    // whole: the file is read into the copy (read, written), then the copy
    // is read and each block's rewrite written to the file at once (read,
    // rule, write).
    qint64 size = 0;
    bool copied = copy.startWriting();
    const bool read = copied && file.readLineBlocks([&](QByteArrayView block) {
        copied = copy.appendBytes(block);
        size += block.size();
        return copied && (!meter || meter->within(2 * size));
    });
    if (!copied)
        return copy.errorString();
    if (!read)
        return file.errorString();
    if (!stepDone(meter, 2 * size))
        return std::nullopt; // the file untouched; the copy goes with its object
    // From here on the file is rewritten; a stop of the meter waits until it
    // is whole again.
    const bool ours = file.madeFile();
    bool written = file.startWriting();
    bool roomForRule = true;
    qint64 done = 0;
    const bool readBack = written && copy.readLineBlocks([&](QByteArrayView block) {
        try {
            written = file.appendBytes(rule(block));
        } catch (const std::bad_alloc &) {
            roomForRule = false;
            return false;
        }
        done += block.size();
        if (meter)
            meter->within(3 * done);
        return written;
    });
    if (!written || !readBack || !roomForRule) {
        if (!ours)
            copy.keep();
        if (!roomForRule)
            return QStringLiteral("Für das Umschreiben der Datei %1 ist nicht genug Arbeitsspeicher "
                                  "frei.")
                .arg(QDir::toNativeSeparators(file.path()));
        return written ? copy.errorString() : file.errorString();
    }
    if (!stepDone(meter, 3 * size))
        return std::nullopt;
    if (!copy.remove())
        return copy.errorString();
    return std::nullopt;
}

} // namespace kelo
