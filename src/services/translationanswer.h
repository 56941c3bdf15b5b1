// Reading the answer of the translation page: its bytes decoded with the
// character set it declares, the element with the id "result_box" found in
// it, its text taken without markup, and the apostrophes that framed the line
// in the request cut off again.
//
// Everything here is bounded for hostile answers: the caller refuses answers
// over maxAnswerBytes, the element is cut out of the page by a linear scan,
// and only an element of at most maxResultTags tags and maxResultBytes bytes,
// or a page of at most maxResultTags tags in which the scan found nothing,
// goes to the HTML parser, whose tree is then walked without recursion.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace kelo {

inline constexpr qsizetype maxAnswerBytes = 2 * 1024 * 1024;
inline constexpr qsizetype maxResultTags = 1000;
inline constexpr qsizetype maxResultBytes = 256 * 1024;

// The charset parameter of a Content-Type header value, without quotes.
std::optional<QByteArray> charsetFromContentType(QByteArrayView contentType);

// The character set a page declares in a <meta charset> or <meta
// http-equiv="Content-Type"> tag in its head.
std::optional<QByteArray> charsetFromMeta(QByteArrayView page);

struct DecodedAnswer {
    std::optional<QString> text; // nullopt: the declared character set is unknown
    QByteArray charset;          // the label that decided (empty: none declared)
};

// Decodes the page: a byte-order mark decides first, then the charset of the
// HTTP header, then the page's meta tag; a page that declares nothing is
// Windows-1252. Labels are those of the web (ISO-8859-1 and ASCII mean
// Windows-1252).
DecodedAnswer decodeAnswer(QByteArrayView body, QByteArrayView contentType);

struct ResultBoxText {
    std::optional<QString> text;
    QString error; // German, when there is no text
};

// The text of the first element whose id is "result_box", as a browser shows
// it: markup, comments and scripts left out, each run of white space one
// blank, none at the ends; a <br> is a blank too, so the answer stays one
// line.
ResultBoxText resultBoxText(const QString &page);

// The element text without its first and its last character (the
// apostrophes the line went out in); nullopt when it has fewer than two.
std::optional<QString> withoutFrame(const QString &text);

struct AnswerReading {
    std::optional<QString> translation;
    QString error; // German, when there is no translation
};

// The whole reading of one answer body.
AnswerReading readTranslationAnswer(QByteArrayView body, QByteArrayView contentType);

} // namespace kelo
