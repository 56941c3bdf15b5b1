// The request for one line: the page's address, the query that carries the
// line and the language pair, and the settings key that names another page.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace kelo {

enum class TranslationDirection { GermanToEnglish, EnglishToGerman };



// The query for one line: text='<line>' and the direction's language pair.
// The line is percent-encoded as UTF-8, every character but letters, digits
// and "-._~", so that "&", "#", "%", "+", apostrophes, blanks and letters
// outside ASCII all arrive as text of the line.
QByteArray translationQuery(const QString &line, TranslationDirection direction);

// The page's address (an http or https URL) followed by the query; nullopt
// when the address is not such a URL.
std::optional<QUrl> translationUrl(const QString &page, const QString &line,
                                   TranslationDirection direction);

} // namespace kelo
