#include "services/translationbatches.h"

namespace kelo {

namespace {

qsizetype leadingSpace(const QString &line)
{
    qsizetype i = 0;
    while (i < line.size() && line.at(i).isSpace())
        ++i;
    return i;
}

qsizetype trailingSpace(const QString &line)
{
    qsizetype i = 0;
    while (i < line.size() && line.at(line.size() - 1 - i).isSpace())
        ++i;
    return i;
}

QString lineRange(qsizetype first, qsizetype last)
{
    return first == last ? QStringLiteral("bei Zeile %1").arg(first)
                         : QStringLiteral("bei den Zeilen %1 bis %2").arg(first).arg(last);
}

} // namespace

QList<TextLine> splitTextLines(QStringView text)
{
    QList<TextLine> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        const qsizetype breakLength =
            c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')
                ? 2
                : 1;
        lines.append({text.mid(start, i - start).toString(), text.mid(i, breakLength).toString()});
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < text.size())
        lines.append({text.mid(start).toString(), QString()});
    return lines;
}

QString joinTextLines(const QList<TextLine> &lines)
{
    qsizetype size = 0;
    for (const TextLine &line : lines)
        size += line.text.size() + line.lineBreak.size();
    QString text;
    text.reserve(size);
    for (const TextLine &line : lines) {
        text += line.text;
        text += line.lineBreak;
    }
    return text;
}

QString sentText(const QString &line)
{
    return line.trimmed();
}

QString placedTranslation(const QString &line, const QString &translation)
{
    QString inner = translation;
    inner.replace(QLatin1String("\r\n"), QLatin1String(" "));
    inner.replace(QLatin1Char('\r'), QLatin1Char(' '));
    inner.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const qsizetype lead = leadingSpace(line);
    const qsizetype trail = lead == line.size() ? 0 : trailingSpace(line);
    return line.left(lead) + inner.trimmed() + line.right(trail);
}

BatchPlan planBatches(const QList<TextLine> &lines, const BatchLimits &limits)
{
    BatchPlan plan;
    qsizetype body = 0; // of the batch being filled
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = sentText(lines[i].text);
        if (text.isEmpty())
            continue;
        const qsizetype size = limits.textBytes(text);
        if (limits.envelopeBytes + size > limits.maxBodyBytes) {
            plan.tooLong = i;
            plan.batches.clear();
            return plan;
        }
        const bool fits = !plan.batches.isEmpty() && plan.batches.last().size() < limits.maxLines &&
                          body + 1 + size <= limits.maxBodyBytes;
        if (fits) {
            plan.batches.last().append(i);
            body += 1 + size;
        } else {
            plan.batches.append(QList<qsizetype>{i});
            body = limits.envelopeBytes + size;
        }
    }
    return plan;
}

BatchRun translateInBatches(const QList<TextLine> &lines, const BatchPlan &plan,
                            const BatchFunction &translateBatch, const BatchProgress &progress)
{
    BatchRun run;
    run.lineCount = lines.size();
    QList<TextLine> translated = lines;
    for (const QList<qsizetype> &batch : plan.batches) {
        run.firstLine = batch.first() + 1;
        run.lastLine = batch.last() + 1;
        if (progress && !progress(run.firstLine, run.lastLine, run.lineCount)) {
            run.state = BatchRun::State::Cancelled;
            return run;
        }
        QStringList texts;
        texts.reserve(batch.size());
        for (const qsizetype index : batch)
            texts.append(sentText(lines[index].text));
        BatchTranslation result = translateBatch(texts);
        if (result.cancelled) {
            run.state = BatchRun::State::Cancelled;
            return run;
        }
        if (!result.texts || result.texts->size() != texts.size()) {
            run.state = BatchRun::State::Failed;
            run.error = result.texts ? QStringLiteral("Der Dienst gab %1 Übersetzungen für %2 "
                                                      "gesendete Zeilen zurück.")
                                           .arg(result.texts->size())
                                           .arg(texts.size())
                                     : std::move(result.error);
            return run;
        }
        for (qsizetype i = 0; i < batch.size(); ++i) {
            TextLine &line = translated[batch[i]];
            line.text = placedTranslation(line.text, result.texts->at(i));
        }
    }
    run.firstLine = run.lastLine = 0;
    run.text = joinTextLines(translated);
    return run;
}

QString batchFailureMessage(const BatchRun &run, const QString &serviceName)
{
    return QStringLiteral("Die Übersetzung über %1 ist %2 von %3 fehlgeschlagen:\n%4\n\n"
                          "Der Text im Editor bleibt unverändert.")
        .arg(serviceName, lineRange(run.firstLine, run.lastLine))
        .arg(run.lineCount)
        .arg(run.error);
}

} // namespace kelo
