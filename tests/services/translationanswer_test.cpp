// The pure pieces of the translation: the query a line goes out in, the tag
// scan that cuts the result element out of a page, the answer's character
// set and the element text, also of hostile pages.
#include "services/htmlscan.h"
#include "services/translationanswer.h"
#include "services/translationrequest.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using Query = ::testing::TestWithParam<std::tuple<QString, QByteArray>>;

// An "&" or "#" in the line must not start a parameter or cut the line off.
TEST_P(Query, LineArrivesAsTextAndNeverAsQuerySyntax)
{
    const auto &[line, encoded] = GetParam();
    EXPECT_EQ(translationQuery(line, TranslationDirection::GermanToEnglish),
              "text='" + encoded + "'&langpair=de%7Cen&hl=en");
    const auto url =
        translationUrl(defaultTranslationPage, line, TranslationDirection::EnglishToGerman);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toEncoded(), "http://translate.google.com/translate_t?text='" + encoded +
                                    "'&langpair=en%7Cde&hl=de");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Query,
    ::testing::Values(std::tuple{"", ""},
                      std::tuple{"a & langpair=en|de", "a%20%26%20langpair%3Den%7Cde"},
                      std::tuple{"Nr. #1", "Nr.%20%231"}, std::tuple{"50% + 1", "50%25%20%2B%201"},
                      std::tuple{"it's", "it%27s"}, std::tuple{"Grüße", "Gr%C3%BC%C3%9Fe"},
                      std::tuple{"a\tb\nc", "a%09b%0Ac"}));

TEST(QueryPage, OwnQueryIsKeptAndOnlyHttpPagesAreTaken)
{
    const auto url = translationUrl(QStringLiteral("https://h:8/t/translate_t?k=1"),
                                    QStringLiteral("x"), TranslationDirection::GermanToEnglish);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toEncoded(), "https://h:8/t/translate_t?k=1&text='x'&langpair=de%7Cen&hl=en");
    for (const char *page : {"", "translate_t", "ftp://h/translate_t", "http:///translate_t"})
        EXPECT_FALSE(
            translationUrl(QString::fromLatin1(page), {}, TranslationDirection::GermanToEnglish))
            << page;
}

// The markup and the element cut out of it; an empty slice: no element.
using Slice = ::testing::TestWithParam<std::tuple<QByteArray, QByteArray>>;

TEST_P(Slice, FindsTheElementTheParserWouldFind)
{
    const auto &[markup, slice] = GetParam();
    const ElementSliceResult found = findElementById(markup, "result_box", 100);
    if (slice.isEmpty()) {
        EXPECT_FALSE(found.slice);
        EXPECT_EQ(found.error, SliceError::NotFound);
        return;
    }
    ASSERT_TRUE(found.slice);
    EXPECT_EQ(markup.mid(found.slice->begin, found.slice->end - found.slice->begin), slice);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Slice,
    ::testing::Values(std::tuple{"<p>a</p><span id=\"result_box\">'x'</span><p>",
                                 "<span id=\"result_box\">'x'</span>"},
                      std::tuple{"<SPAN ID='result_box'>x</Span>",
                                 "<SPAN ID='result_box'>x</Span>"},
                      std::tuple{"<div id=result_box><div>a</div>b</div><div>c</div>",
                                 "<div id=result_box><div>a</div>b</div>"},
                      std::tuple{"<i id=result_box>x<i>y", "<i id=result_box>x<i>y"},
                      std::tuple{"<input id=result_box value=a>b", "<input id=result_box value=a>"},
                      std::tuple{"<textarea id=result_box></span></textarea>x",
                                 "<textarea id=result_box></span></textarea>"},
                      std::tuple{"<!-- <b id=result_box>no</b> --><b id=result_box>yes</b>",
                                 "<b id=result_box>yes</b>"},
                      std::tuple{"<!--><b id=result_box>after an empty comment</b>",
                                 "<b id=result_box>after an empty comment</b>"},
                      std::tuple{"<script>'<b id=result_box>'</script>", ""},
                      std::tuple{"<a title='<b id=result_box>'>x</a>", ""},
                      std::tuple{"<b id=x id=result_box>first id counts</b>", ""},
                      std::tuple{"<b id=Result_box>x</b><b id=result_box2>y</b>", ""},
                      std::tuple{"<b id=result_box", ""}));

TEST(SliceLimit, AnElementOfMoreTagsThanTheLimitIsRefused)
{
    const QByteArray inside = QByteArray("<i>").repeated(98);
    EXPECT_TRUE(
        findElementById(QByteArray("<b id=result_box>" + inside + "</b>"), "result_box", 100)
            .slice);
    const auto refused =
        findElementById(QByteArray("<b id=result_box>" + inside + "<i></b>"), "result_box", 100);
    EXPECT_FALSE(refused.slice);
    EXPECT_EQ(refused.error, SliceError::TooManyTags);
}

// Content-Type, body, what the text must hold (empty: unknown character set).
using Charset = ::testing::TestWithParam<std::tuple<QByteArray, QByteArray, QString>>;

TEST_P(Charset, DecodesWithTheDeclaredSetAndWindows1252WithoutOne)
{
    const auto &[contentType, body, expected] = GetParam();
    const DecodedAnswer decoded = decodeAnswer(body, contentType);
    if (expected.isEmpty()) {
        EXPECT_FALSE(decoded.text);
        return;
    }
    ASSERT_TRUE(decoded.text);
    EXPECT_TRUE(decoded.text->contains(expected)) << decoded.text->toStdString();
}

const QByteArray utf8Word = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC";
const QByteArray cp1252Word = "Gr\xFC\xDF\x65 \x80";
const char *const word = "Grüße €";

INSTANTIATE_TEST_SUITE_P(
    Answers, Charset,
    ::testing::Values(
        std::tuple{"text/html; charset=UTF-8", utf8Word, word},
        std::tuple{"text/html;charset=\"utf8\"", utf8Word, word},
        std::tuple{"text/html; Charset = ISO-8859-1", cp1252Word, word},
        std::tuple{"text/html", cp1252Word, word},
        std::tuple{"", "<meta charset='utf-8'>" + utf8Word, word},
        std::tuple{"text/html",
                   "<META HTTP-EQUIV=content-type CONTENT='text/html; charset=utf-8'>" + utf8Word,
                   word},
        std::tuple{"", "<meta charset=utf-16>" + utf8Word, word},
        std::tuple{"text/html; charset=windows-1252", "<meta charset=utf-8>" + cp1252Word, word},
        std::tuple{"text/html; charset=windows-1252", "\xEF\xBB\xBF" + utf8Word, word},
        std::tuple{"", "<!-- <meta charset=utf-8> -->" + cp1252Word, word},
        std::tuple{"", "<body><meta charset=utf-8>" + cp1252Word, word},
        std::tuple{"", utf8Word, "GrÃ¼ÃŸe"},
        std::tuple{"text/html; charset=x-no-such-set", utf8Word, ""}));

// The page, and the translation or (after "!") a part of the error.
using ElementText = ::testing::TestWithParam<std::tuple<QByteArray, QString>>;

TEST_P(ElementText, IsWhatABrowserShowsWithoutTheFrame)
{
    const auto &[page, expected] = GetParam();
    const AnswerReading reading = readTranslationAnswer(page, "text/html; charset=utf-8");
    if (expected.startsWith(u'!')) {
        EXPECT_FALSE(reading.translation);
        EXPECT_TRUE(reading.error.contains(expected.mid(1))) << reading.error.toStdString();
    } else {
        EXPECT_EQ(reading.translation, expected) << reading.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ElementText,
    ::testing::Values(
        std::tuple{"<span id=result_box>'ABC'</span>", "ABC"},
        std::tuple{"<span id=result_box>''</span>", ""},
        std::tuple{"<span id=result_box>\n  <span title=a>'Fish &amp; chips&#33;</span>\n"
                   "<!-- x --><script>var a;</script><span>  &lt;b&gt;'</span></span>",
                   "Fish & chips! <b>"},
        std::tuple{"<div id=result_box>'a<br>b'</div>", "a b"},
        std::tuple{"<table><tr><td id=result_box>'cell'</td></tr></table>", "cell"},
        std::tuple{"<span id=result_box>'\xF0\x9F\x98\x80'</span>", "\xF0\x9F\x98\x80"},
        std::tuple{"<span id=result_box>\xF0\x9F\x98\x80</span>", "!kürzer als zwei"},
        std::tuple{"<span id=result_box>'</span>", "!kürzer als zwei"},
        std::tuple{"<span id=result>'ABC'</span>", "!kein Element"}));

// Pages of the answer cap's size that a tree builder quadratic in the open
// elements needs minutes for: they must come back at once.
TEST(HostileAnswer, DeepNestingAroundTheElementIsReadAndInsideItIsRefused)
{
    const QByteArray open = QByteArray("<div>").repeated(100000);
    const QByteArray close = QByteArray("</div>").repeated(100000);
    EXPECT_EQ(
        readTranslationAnswer(QByteArray(open + "<span id=result_box>'ok'</span>" + close), {})
            .translation,
        QStringLiteral("ok"));
    const AnswerReading inside = readTranslationAnswer(
        QByteArray("<div id=result_box>'" + open + "x'" + close + "</div>"), {});
    EXPECT_FALSE(inside.translation);
    EXPECT_TRUE(inside.error.contains(QStringLiteral("mehr als 1000 Tags")))
        << inside.error.toStdString();
}

TEST(HostileAnswer, UnclosedTagsAroundAndInsideTheElementAndALongText)
{
    QByteArray unclosed;
    for (int i = 0; i < 100000; ++i)
        unclosed += "<b c=" + QByteArray::number(i) + ">x";
    ASSERT_LT(unclosed.size(), maxAnswerBytes);
    EXPECT_EQ(
        readTranslationAnswer(QByteArray(unclosed + "<i id=result_box>'ok'</i>"), {}).translation,
        QStringLiteral("ok"));
    EXPECT_FALSE(
        readTranslationAnswer(QByteArray("<i id=result_box>'" + unclosed), {}).translation);
    const QByteArray longText(maxResultBytes, 'x');
    const AnswerReading big =
        readTranslationAnswer(QByteArray("<i id=result_box>'" + longText + "'</i>"), {});
    EXPECT_TRUE(big.error.contains(QStringLiteral("größer als 256 KB"))) << big.error.toStdString();
}

} // namespace
} // namespace kelo::test
