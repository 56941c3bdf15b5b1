// The web translation of the main window: the two flag buttons translate the
// whole editor text German to English (cmd_DE2EN) or English to German
// (cmd_EN2DE), one request per line, after the user agreed once per run to
// use the Internet connection.
//
// The text is taken apart into lines through the temporary file, every line
// is sent on its own while a window-modal progress box shows "Zeile n von m"
// and offers "Abbrechen", and only when every line is translated does the
// editor get the new text (one undo step). A failure shows one message that
// names the line and what went wrong; after it, and after a cancel, the
// editor keeps the text it had.
#pragma once

#include "services/translationhttp.h"
#include "services/translationrequest.h"
#include "services/translationrun.h"

#include <QObject>
#include <QString>

#include <chrono>

namespace kelo {

class WindowPort;

class Translation : public QObject {
    Q_OBJECT

public:
    explicit Translation(WindowPort &port, QObject *parent = nullptr);

    void cmd_DE2EN_Click();
    void cmd_EN2DE_Click();

    // One line each way (the parameter keeps the one name both directions
    // always had).
    LineTranslation GetTranslatedToEN(const QString &strEN);
    LineTranslation GetTranslatedToDE(const QString &strEN);

    // The user agreed, in this run of the program, to use the Internet.
    bool blnInternetOK = false;

    void setTimeLimit(std::chrono::milliseconds limit) { m_http.setTimeLimit(limit); }

    // Asked before the window closes: while lines are out, the run is
    // cancelled and the window stays open with its text.
    bool mayClose();

private:
    void translateText(TranslationDirection direction);
    LineTranslation translateLine(const QString &line, TranslationDirection direction);
    QString translationPage() const;
    void cancel();

    WindowPort &m_port;
    TranslationHttp m_http;
    QString m_page; // the page of the run under way
    bool m_running = false;
    bool m_cancelled = false;
};

} // namespace kelo
