#include "tools/textpassage.h"

#include "platform/workprogress.h"
#include "tools/tempfile.h"

#include <algorithm>
#include <cstring>

namespace kelo {

namespace {

constexpr int rewriteParts = 5; // read, write the copy, read it, the rule, write

// Tells the meter that a step of `size` units is over; false to stop.
bool stepDone(WorkMeter *meter, qint64 size)
{
    return !meter || meter->partDone(size);
}

} // namespace

QByteArray applyInLineBlocks(QByteArrayView fileBytes, const LineRule &rule,
                             const std::function<bool(qint64 done)> &report, qsizetype blockSize)
{
    if (!report)
        return rule(fileBytes);
    QByteArray out;
    // The rules never make a text longer but for the CR LF of a last line.
    out.reserve(fileBytes.size() + 2);
    const char *const data = fileBytes.data();
    const qsizetype size = fileBytes.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype cut = size;
        const qsizetype from = std::min(size, start + std::max<qsizetype>(blockSize, 1)) - 1;
        if (const void *cr = std::memchr(data + from, '\r', size_t(size - from))) {
            cut = static_cast<const char *>(cr) - data + 1;
            if (cut < size && data[cut] == '\n')
                ++cut;
        }
        out.append(rule(fileBytes.sliced(start, cut - start)));
        start = cut;
        if (!report(start))
            return {};
    }
    return out;
}

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
    const std::optional<QByteArray> lines = file.readBytes();
    if (!lines)
        return failed(PassageStep::Read, file.errorString());
    if (!stepDone(meter, utf8.size()))
        return cancelled;
    QByteArray text = passage.rebuild(*lines);
    if (!stepDone(meter, utf8.size()))
        return cancelled;
    if (!file.remove())
        return failed(PassageStep::Remove, file.errorString());
    return PassageResult{std::move(text), PassageStep::None, {}};
}

std::optional<QString> rewriteThroughCopy(TemporaryTextFile &file, const LineRule &rule,
                                          WorkMeter *meter)
{
    TemporaryTextFile copy(file.folder(), QStringLiteral("Temp_") + file.fileName());
    qint64 size = 0;
    {
        const std::optional<QByteArray> original = file.readBytes();
        if (!original)
            return file.errorString();
        size = original->size();
        if (!stepDone(meter, size))
            return std::nullopt;
        if (!copy.writeBytes(*original))
            return copy.errorString();
        if (!stepDone(meter, size))
            return std::nullopt;
    }
    const std::optional<QByteArray> lines = copy.readBytes();
    if (!lines)
        return copy.errorString();
    if (!stepDone(meter, size))
        return std::nullopt;
    const QByteArray rewritten = rule(*lines);
    if (!stepDone(meter, size))
        return std::nullopt; // the file untouched; the copy goes with its object
    const bool ours = file.madeFile();
    if (!file.writeBytes(rewritten)) {
        if (!ours)
            copy.keep();
        return file.errorString();
    }
    if (!stepDone(meter, size))
        return std::nullopt;
    if (!copy.remove())
        return copy.errorString();
    return std::nullopt;
}

} // namespace kelo
