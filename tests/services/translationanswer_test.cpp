// The pure pieces of the translation: the query a line goes out in, the tag
// scan that cuts the result element out of a page, the answer's character
// set, the element text and the line driver.
#include "services/htmlscan.h"
#include "services/translationanswer.h"
#include "services/translationrequest.h"
#include "services/translationrun.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

// ---- The query --------------------------------------------------------------

struct QueryCase {
    const char *line;
    const char *encoded; // what must stand between text=' and '
};
void PrintTo(const QueryCase &c, std::ostream *out)
{
    *out << c.line;
}

class Query : public ::testing::TestWithParam<QueryCase> {};

TEST_P(Query, LineArrivesAsTextAndNeverAsQuerySyntax)
{
    const QString line = QString::fromUtf8(GetParam().line);
    EXPECT_EQ(translationQuery(line, TranslationDirection::GermanToEnglish),
              "text='" + QByteArray(GetParam().encoded) + "'&langpair=de%7Cen&hl=en");
    // The built URL keeps those bytes exactly.
    const auto url =
        translationUrl(defaultTranslationPage, line, TranslationDirection::EnglishToGerman);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toEncoded(), "http://translate.google.com/translate_t?text='" +
                                    QByteArray(GetParam().encoded) + "'&langpair=en%7Cde&hl=de");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Query,
    ::testing::Values(QueryCase{"abc", "abc"}, QueryCase{"", ""},
                      QueryCase{"a & langpair=en|de", "a%20%26%20langpair%3Den%7Cde"},
                      QueryCase{"Nr. #1", "Nr.%20%231"}, QueryCase{"50% + 1", "50%25%20%2B%201"},
                      QueryCase{"it's", "it%27s"}, QueryCase{"Grüße", "Gr%C3%BC%C3%9Fe"},
                      QueryCase{"a\tb\nc", "a%09b%0Ac"}));

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

// ---- Cutting the element out of the page --------------------------------------

struct SliceCase {
    const char *markup;
    const char *slice; // nullptr: no element
};
void PrintTo(const SliceCase &c, std::ostream *out)
{
    *out << c.markup;
}

class Slice : public ::testing::TestWithParam<SliceCase> {};

TEST_P(Slice, FindsTheElementTheParserWouldFind)
{
    const QByteArray markup(GetParam().markup);
    const ElementSliceResult found = findElementById(markup, "result_box", 100);
    if (!GetParam().slice) {
        EXPECT_FALSE(found.slice);
        EXPECT_EQ(found.error, SliceError::NotFound);
        return;
    }
    ASSERT_TRUE(found.slice);
    EXPECT_EQ(markup.mid(found.slice->begin, found.slice->end - found.slice->begin),
              QByteArray(GetParam().slice));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, Slice,
    ::testing::Values(SliceCase{"<p>a</p><span id=\"result_box\">'x'</span><p>",
                                "<span id=\"result_box\">'x'</span>"},
                      SliceCase{"<SPAN ID='result_box'>x</Span>", "<SPAN ID='result_box'>x</Span>"},
                      SliceCase{"<div id=result_box><div>a</div>b</div><div>c</div>",
                                "<div id=result_box><div>a</div>b</div>"},
                      SliceCase{"<i id=result_box>x<i>y", "<i id=result_box>x<i>y"},
                      SliceCase{"<input id=result_box value=a>b", "<input id=result_box value=a>"},
                      SliceCase{"<textarea id=result_box></span></textarea>x",
                                "<textarea id=result_box></span></textarea>"},
                      SliceCase{"<!-- <b id=result_box>no</b> --><b id=result_box>yes</b>",
                                "<b id=result_box>yes</b>"},
                      SliceCase{"<!--><b id=result_box>after an empty comment</b>",
                                "<b id=result_box>after an empty comment</b>"},
                      SliceCase{"<script>'<b id=result_box>'</script>", nullptr},
                      SliceCase{"<a title='<b id=result_box>'>x</a>", nullptr},
                      SliceCase{"<b id=x id=result_box>first id counts</b>", nullptr},
                      SliceCase{"<b id=Result_box>x</b><b id=result_box2>y</b>", nullptr},
                      SliceCase{"<b id=result_box", nullptr}));

TEST(SliceLimit, AnElementOfMoreTagsThanTheLimitIsRefusedWithoutReadingFurther)
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

// ---- Character sets -----------------------------------------------------------

struct CharsetCase {
    const char *contentType;
    QByteArray body;
    const char *expected; // nullptr: unknown character set
};
void PrintTo(const CharsetCase &c, std::ostream *out)
{
    *out << '"' << c.contentType << "\" " << c.body.toPercentEncoding(" <>='\"/;-").constData();
}

class Charset : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(Charset, DecodesWithTheDeclaredSetAndWindows1252WithoutOne)
{
    const DecodedAnswer decoded = decodeAnswer(GetParam().body, GetParam().contentType);
    if (!GetParam().expected) {
        EXPECT_FALSE(decoded.text);
        return;
    }
    ASSERT_TRUE(decoded.text);
    EXPECT_TRUE(decoded.text->contains(QString::fromUtf8(GetParam().expected)))
        << decoded.text->toStdString();
}

const QByteArray utf8Word = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC";
const QByteArray cp1252Word = "Gr\xFC\xDF\x65 \x80";

INSTANTIATE_TEST_SUITE_P(
    Answers, Charset,
    ::testing::Values(
        CharsetCase{"text/html; charset=UTF-8", utf8Word, "Grüße €"},
        CharsetCase{"text/html;charset=\"utf8\"", utf8Word, "Grüße €"},
        CharsetCase{"text/html; Charset = ISO-8859-1", cp1252Word, "Grüße €"},
        CharsetCase{"text/html", cp1252Word, "Grüße €"},
        CharsetCase{"", "<meta charset='utf-8'>" + utf8Word, "Grüße €"},
        CharsetCase{"text/html",
                    "<META HTTP-EQUIV=content-type CONTENT='text/html; charset=utf-8'>" + utf8Word,
                    "Grüße €"},
        CharsetCase{"", "<meta charset=utf-16>" + utf8Word, "Grüße €"},
        CharsetCase{"text/html; charset=windows-1252", "<meta charset=utf-8>" + cp1252Word,
                    "Grüße €"},
        CharsetCase{"text/html; charset=windows-1252", "\xEF\xBB\xBF" + utf8Word, "Grüße €"},
        CharsetCase{"", "<!-- <meta charset=utf-8> -->" + cp1252Word, "Grüße €"},
        CharsetCase{"", "<body><meta charset=utf-8>" + cp1252Word, "Grüße €"},
        CharsetCase{"", utf8Word, "GrÃ¼ÃŸe"},
        CharsetCase{"text/html; charset=x-no-such-set", utf8Word, nullptr}));

// ---- The element's text -------------------------------------------------------

struct TextCase {
    const char *page;
    const char *translation; // nullptr: no translation
    const char *errorPart = "";
};
void PrintTo(const TextCase &c, std::ostream *out)
{
    *out << c.page;
}

class ElementText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ElementText, IsWhatABrowserShowsWithoutTheFrame)
{
    const AnswerReading reading =
        readTranslationAnswer(GetParam().page, "text/html; charset=utf-8");
    if (GetParam().translation) {
        ASSERT_TRUE(reading.translation) << reading.error.toStdString();
        EXPECT_EQ(*reading.translation, QString::fromUtf8(GetParam().translation));
    } else {
        EXPECT_FALSE(reading.translation);
        EXPECT_TRUE(reading.error.contains(QString::fromUtf8(GetParam().errorPart)))
            << reading.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ElementText,
    ::testing::Values(
        TextCase{"<span id=result_box>'ABC'</span>", "ABC"},
        TextCase{"<span id=result_box>''</span>", ""},
        TextCase{"<span id=result_box>\n  <span title=a>'Fish &amp; chips&#33;</span>\n"
                 "<!-- x --><script>var a;</script><span>  &lt;b&gt;'</span></span>",
                 "Fish & chips! <b>"},
        TextCase{"<div id=result_box>'a<br>b'</div>", "a b"},
        TextCase{"<table><tr><td id=result_box>'cell'</td></tr></table>", "cell"},
        TextCase{"<span id=result_box>'\xF0\x9F\x98\x80'</span>", "\xF0\x9F\x98\x80"},
        TextCase{"<span id=result_box>\xF0\x9F\x98\x80</span>", nullptr, "kürzer als zwei"},
        TextCase{"<span id=result_box>'</span>", nullptr, "kürzer als zwei"},
        TextCase{"<span id=result>'ABC'</span>", nullptr, "kein Element"}));

// The hostile pages of a page cap's size: a tree builder that is quadratic in
// the open elements needs minutes for them; here they must come back at once.
TEST(HostileAnswer, DeepNestingAroundTheElementIsReadAndInsideItIsRefused)
{
    const int depth = 100000;
    const QByteArray open = QByteArray("<div>").repeated(depth);
    const QByteArray close = QByteArray("</div>").repeated(depth);
    const AnswerReading around =
        readTranslationAnswer(QByteArray(open + "<span id=result_box>'ok'</span>" + close), {});
    EXPECT_EQ(around.translation, QStringLiteral("ok"));
    const AnswerReading inside = readTranslationAnswer(
        QByteArray("<div id=result_box>'" + open + "x'" + close + "</div>"), {});
    EXPECT_FALSE(inside.translation);
    EXPECT_TRUE(inside.error.contains(QStringLiteral("mehr als 1000 Tags")))
        << inside.error.toStdString();
}

TEST(HostileAnswer, UnclosedTagsAroundAndInsideTheElement)
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
    // Few tags but a long text: the element's size is capped as well.
    const QByteArray longText(maxResultBytes, 'x');
    const AnswerReading big =
        readTranslationAnswer(QByteArray("<i id=result_box>'" + longText + "'</i>"), {});
    EXPECT_TRUE(big.error.contains(QStringLiteral("größer als 256 KB"))) << big.error.toStdString();
}

// ---- The line driver ----------------------------------------------------------

TEST(LineDriver, StopsAtTheFirstFailureAndNamesItsLine)
{
    QStringList sent;
    const TranslationRun run = translateLines(
        {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, [&](const QString &line) {
            sent << line;
            return line == QLatin1String("b") ? LineTranslation::failed(QStringLiteral("kaputt"))
                                              : LineTranslation::done(line.toUpper());
        });
    EXPECT_EQ(run.state, TranslationRun::State::Failed);
    EXPECT_EQ(sent, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(failureMessage(run),
              QStringLiteral("Die Übersetzung ist in Zeile 2 von 3 fehlgeschlagen:\nkaputt\n\n"
                             "Der Text im Editor bleibt unverändert."));
}

TEST(LineDriver, CancelBeforeALineSendsNoMoreAndDoneJoinsWithCrLf)
{
    int calls = 0;
    const auto upper = [&](const QString &line) {
        ++calls;
        return LineTranslation::done(line.toUpper());
    };
    const QStringList lines{QStringLiteral("a"), QString(), QStringLiteral("c")};
    const TranslationRun cancelled =
        translateLines(lines, upper, [](qsizetype n, qsizetype) { return n < 2; });
    EXPECT_EQ(cancelled.state, TranslationRun::State::Cancelled);
    EXPECT_EQ(calls, 1);
    const TranslationRun done = translateLines(lines, upper);
    EXPECT_EQ(done.state, TranslationRun::State::Done);
    EXPECT_EQ(joinTranslatedLines(done.lines), QStringLiteral("A\r\n\r\nC\r\n"));
}

} // namespace
} // namespace kelo::test
