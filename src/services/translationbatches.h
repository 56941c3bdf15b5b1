// The course of a translation through a service that takes many lines per
// request, apart from the network and the window: the text taken apart into
// lines with their own line breaks, the lines that carry words put into
// batches, the batches sent in order, and the text put together again only
// when every batch came back whole. A run that stops gives no text, so the
// editor keeps the one it had.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

namespace kelo {

// One line of the text and the break that ends it ("\r\n", "\n", "\r", or
// "" for a last line without one).
struct TextLine {
    QString text;
    QString lineBreak;

    bool operator==(const TextLine &) const = default;
};

// The lines of a text; "" has none, and a text that ends in a line break
// has no empty line after it.
QList<TextLine> splitTextLines(QStringView text);
QString joinTextLines(const QList<TextLine> &lines);

// What goes out for a line: its text without the blanks and tabs around it,
// which are put back around the translation so that indentation stays.
// Lines of nothing but blanks go out not at all and stay as they are.
QString sentText(const QString &line);
// A translation in the place of the line: the line's own blanks around it,
// and any line break the service put into it turned into a blank, so that
// every line keeps its place.
QString placedTranslation(const QString &line, const QString &translation);

struct BatchLimits {
    qsizetype maxLines = 50;
    qsizetype maxBodyBytes = 100 * 1024;
    // The bytes of a request body without texts, and what one text adds
    // (translationservice.h); a body of n texts adds n - 1 commas.
    qsizetype envelopeBytes = 0;
    std::function<qsizetype(const QString &text)> textBytes;
};

struct BatchPlan {
    // The indexes of the lines each request carries, in order.
    QList<QList<qsizetype>> batches;
    // A line whose request would exceed the size limit even alone.
    std::optional<qsizetype> tooLong;
};

BatchPlan planBatches(const QList<TextLine> &lines, const BatchLimits &limits);

// What the batch function gives for one request.
struct BatchTranslation {
    std::optional<QStringList> texts; // one per text sent, in order
    QString error;                    // German, when there are none
    bool cancelled = false;

    static BatchTranslation done(QStringList texts) { return {std::move(texts), {}, false}; }
    static BatchTranslation failed(QString error)
    {
        return {std::nullopt, std::move(error), false};
    }
    static BatchTranslation stopped() { return {std::nullopt, {}, true}; }
};

struct BatchRun {
    enum class State { Done, Failed, Cancelled };
    State state = State::Done;
    QString text; // the new text, when Done
    // The 1-based lines of the batch that failed or was cancelled.
    qsizetype firstLine = 0;
    qsizetype lastLine = 0;
    qsizetype lineCount = 0;
    QString error;
};

using BatchFunction = std::function<BatchTranslation(const QStringList &texts)>;
// Called before each request with the 1-based first and last line it
// carries and the number of lines; false cancels the run before it goes out.
using BatchProgress =
    std::function<bool(qsizetype firstLine, qsizetype lastLine, qsizetype lineCount)>;

BatchRun translateInBatches(const QList<TextLine> &lines, const BatchPlan &plan,
                            const BatchFunction &translateBatch,
                            const BatchProgress &progress = {});

// The one message for a run that failed, naming the lines, the service and
// the reason.
QString batchFailureMessage(const BatchRun &run, const QString &serviceName);

} // namespace kelo
