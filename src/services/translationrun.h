// The line-by-line course of a translation, apart from the network and the
// window: every line goes to the line function in order, the first failure
// or a cancel stops the run, and only a run that translated every line gives
// a new text. The editor's text is never touched here, so a run that stops
// leaves it as it was.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kelo {

// What the line function gives for one line.
struct LineTranslation {
    std::optional<QString> text; // the translated line
    QString error;               // German, when there is no text
    bool cancelled = false;      // the user cancelled while the line was out

    static LineTranslation done(QString text) { return {std::move(text), {}, false}; }
    static LineTranslation failed(QString error) { return {std::nullopt, std::move(error), false}; }
    static LineTranslation stopped() { return {std::nullopt, {}, true}; }
};

struct TranslationRun {
    enum class State { Done, Failed, Cancelled };
    State state = State::Done;
    QStringList lines;        // the translated lines (all of them when Done)
    qsizetype lineNumber = 0; // 1-based line that failed or was cancelled
    qsizetype lineCount = 0;
    QString error;
};

using LineFunction = std::function<LineTranslation(const QString &line)>;
// Called before each line with its 1-based number and the number of lines;
// false cancels the run before the line goes out.
using LineProgress = std::function<bool(qsizetype lineNumber, qsizetype lineCount)>;

TranslationRun translateLines(const QStringList &lines, const LineFunction &translateLine,
                              const LineProgress &progress = {});

// The new editor text: every translated line followed by CR LF.
QString joinTranslatedLines(const QStringList &lines);

// The one message for a run that failed, naming the line and the reason.
QString failureMessage(const TranslationRun &run);

} // namespace kelo
