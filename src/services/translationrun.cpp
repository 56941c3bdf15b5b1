#include "services/translationrun.h"

namespace kelo {

TranslationRun translateLines(const QStringList &lines, const LineFunction &translateLine,
                              const LineProgress &progress)
{
    TranslationRun run;
    run.lineCount = lines.size();
    run.lines.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        run.lineNumber = i + 1;
        if (progress && !progress(run.lineNumber, run.lineCount)) {
            run.state = TranslationRun::State::Cancelled;
            return run;
        }
        LineTranslation result = translateLine(lines[i]);
        if (result.cancelled) {
            run.state = TranslationRun::State::Cancelled;
            return run;
        }
        if (!result.text) {
            run.state = TranslationRun::State::Failed;
            run.error = std::move(result.error);
            return run;
        }
        run.lines.append(std::move(*result.text));
    }
    run.lineNumber = 0;
    return run;
}

QString joinTranslatedLines(const QStringList &lines)
{
    qsizetype size = 0;
    for (const QString &line : lines)
        size += line.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    return text;
}

QString failureMessage(const TranslationRun &run)
{
    return QStringLiteral("Die Übersetzung ist in Zeile %1 von %2 fehlgeschlagen:\n%3\n\n"
                          "Der Text im Editor bleibt unverändert.")
        .arg(run.lineNumber)
        .arg(run.lineCount)
        .arg(run.error);
}

} // namespace kelo
