#include "tools/textpassage.h"

#include "tools/tempfile.h"

namespace kelo {

PassageResult passThroughTemporaryFile(const QString &programFolder, QByteArrayView utf8,
                                       const TextPassage &passage)
{
    const auto failed = [](PassageStep step, const QString &error) {
        return PassageResult{std::nullopt, step, error};
    };
    // The destructor deletes the file on every way out.
    TemporaryTextFile file(temporaryFolder(programFolder));
    if (!file.writeText(utf8))
        return failed(PassageStep::Write, file.errorString());
    if (passage.rewrite) {
        if (const std::optional<QString> error = rewriteThroughCopy(file, passage.rewrite))
            return failed(PassageStep::Rewrite, *error);
    }
    const std::optional<QByteArray> lines = file.readBytes();
    if (!lines)
        return failed(PassageStep::Read, file.errorString());
    QByteArray text = passage.rebuild(*lines);
    if (!file.remove())
        return failed(PassageStep::Remove, file.errorString());
    return PassageResult{std::move(text), PassageStep::None, {}};
}

std::optional<QString> rewriteThroughCopy(TemporaryTextFile &file, const LineRule &rule)
{
    TemporaryTextFile copy(file.folder(), QStringLiteral("Temp_") + file.fileName());
    {
        const std::optional<QByteArray> original = file.readBytes();
        if (!original)
            return file.errorString();
        if (!copy.writeBytes(*original))
            return copy.errorString();
    }
    const std::optional<QByteArray> lines = copy.readBytes();
    if (!lines)
        return copy.errorString();
    const bool ours = file.madeFile();
    if (!file.writeBytes(rule(*lines))) {
        if (!ours)
            copy.keep();
        return file.errorString();
    }
    if (!copy.remove())
        return copy.errorString();
    return std::nullopt;
}

} // namespace kelo
