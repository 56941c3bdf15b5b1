// Reading a translation page: its character set, the result element's text
// (cut out by a scan that must see tags as a parser does), hostile pages.
#include "services/translationanswer.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QByteArray utf8Word = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC";
const QByteArray cp1252Word = "Gr\xFC\xDF\x65 \x80";
const char *const word = "Grüße €";

TEST(Charset, DecodesWithTheDeclaredSetAndWindows1252WithoutOne)
{
    // Content-Type, body, what the text must hold (empty: unknown character set)
    const std::tuple<QByteArray, QByteArray, QString> cases[] = {
        {"text/html; charset=UTF-8", utf8Word, word},
        {"text/html;charset=\"utf8\"", utf8Word, word},
        {"text/html; Charset = ISO-8859-1", cp1252Word, word},
        {"text/html", cp1252Word, word},
        {"", "<meta charset='utf-8'>" + utf8Word, word},
        {"text/html",
         "<META HTTP-EQUIV=content-type CONTENT='text/html; charset=utf-8'>" + utf8Word, word},
        {"text/html; charset=windows-1252", "<meta charset=utf-8>" + cp1252Word, word},
        {"text/html; charset=windows-1252", "\xEF\xBB\xBF" + utf8Word, word},
        {"", "<!-- <meta charset=utf-8> -->" + cp1252Word, word},
        {"", utf8Word, "GrÃ¼ÃŸe"},
        {"text/html; charset=x-no-such-set", utf8Word, ""},
    };
    for (const auto &[contentType, body, expected] : cases) {
        SCOPED_TRACE(contentType.toStdString() + " | " + body.toStdString());
        const std::optional<QString> text = decodeAnswer(body, contentType).text;
        EXPECT_EQ(text.has_value(), !expected.isEmpty());
        EXPECT_TRUE(text.value_or(QString()).contains(expected))
            << text.value_or(QString()).toStdString();
    }
}

TEST(ElementText, IsWhatABrowserShowsWithoutTheFrame)
{
    // The page, and the translation or (after "!") a part of the error.
    const std::tuple<QByteArray, QString> cases[] = {
        {"<span id=result_box>''</span>", ""},
        {"<span id=result_box>\n  <span title=a>'Fish &amp; chips&#33;</span>\n"
         "<!-- x --><script>var a;</script><span>  &lt;b&gt;'</span></span>",
         "Fish & chips! <b>"},
        {"<div id=result_box>'a<br>b'</div>", "a b"},
        {"<span id=result_box>'\xF0\x9F\x98\x80'</span>", "\xF0\x9F\x98\x80"},
        {"<span id=result_box>\xF0\x9F\x98\x80</span>", "!kürzer als zwei"},
        {"<span id=result_box>'</span>", "!kürzer als zwei"},
        {"<span id=result>'ABC'</span>", "!kein Element"},
        {"<p>a</p><SPAN ID=\"result_box\">'x'</Span><p>b", "x"},
        {"<b id=result_box>'<b>a</b>b'</b><b>c'</b>", "ab"},
        {"<i id=result_box>'x<i>y'", "xy"},
        {"<input id=result_box value=a>'bc'", "!kürzer als zwei"},
        {"<textarea id=result_box>'</span>'</textarea>x", "</span>"},
        {"<!-- <b id=result_box>'no'</b> --><b id=result_box>'yes'</b>", "yes"},
        {"<!--><b id=result_box>'after an empty comment'</b>", "after an empty comment"},
        {"<script>'<b id=result_box>'</script>", "!kein Element"},
        {"<a title='<b id=result_box>'>x</a>", "!kein Element"},
        {"<b id=x id=result_box>'first id counts'</b>", "!kein Element"},
        {"<b id=Result_box>'x'</b><b id=result_box2>'y'</b>", "!kein Element"},
        {"<b id=result_box", "!kein Element"},
        // The parser leaves the NUL that begins an attribute name out of it.
        {QByteArray("<div \r\0id=result_box>'nul'</div>", 32), "nul"},
        {QByteArray("<b a=\"1\"\0id=result_box>'nul'</b>", 32), "nul"},
        {QByteArray("<b \0\0id=result_box>'x'</b>", 26), "!kein Element"},
        // Inside <svg> and <select> a <title> holds markup, not text.
        {"<svg><title>Bild<div id=result_box>'im Bild'</div>", "im Bild"},
        {"<select><title></select><b id=result_box>'danach'</b>", "danach"},
        {"<svg><![CDATA[<b id=result_box>'x'</b>]]>", "!kein Element"},
        // Cut out of its <svg>, a <frame> would be dropped by the parser.
        {"<svg><frame id=result_box>'Rahmen'</frame></svg>", "Rahmen"},
    };

    for (const auto &[page, expected] : cases) {
        SCOPED_TRACE(page.toStdString());
        const AnswerReading reading = readTranslationAnswer(page, "text/html; charset=utf-8");
        if (expected.startsWith(u'!'))
            EXPECT_TRUE(!reading.translation && reading.error.contains(expected.mid(1)))
                << reading.error.toStdString();
        else
            EXPECT_EQ(reading.translation, expected) << reading.error.toStdString();
    }
}

AnswerReading read(const QByteArray &page)
{
    return readTranslationAnswer(page, {});
}

// Pages of the answer cap's size that a tree builder quadratic in the open
// elements needs minutes for: they must come back at once.
TEST(HostileAnswer, DeepNestingUnclosedTagsAndALongTextAreReadOrRefusedAtOnce)
{
    const QByteArray open = QByteArray("<div>").repeated(100000);
    const QByteArray close = QByteArray("</div>").repeated(100000);
    EXPECT_EQ(read(open + "<span id=result_box>'ok'</span>" + close).translation, "ok");
    const AnswerReading inside = read("<div id=result_box>'" + open + "x'" + close + "</div>");
    EXPECT_TRUE(!inside.translation && inside.error.contains("mehr als 1000 Tags"))
        << inside.error.toStdString();
    QByteArray unclosed;
    for (int i = 0; i < 100000; ++i)
        unclosed += "<b c=" + QByteArray::number(i) + ">x";
    ASSERT_LT(unclosed.size(), maxAnswerBytes);
    EXPECT_EQ(read(unclosed + "<i id=result_box>'ok'</i>").translation, "ok");
    EXPECT_FALSE(read("<i id=result_box>'" + unclosed).translation);
    // A page of many tags is not read whole, even where only a parser would
    // find the element.
    const QByteArray hidden =
        "<svg><title>" + QByteArray("<i>").repeated(maxResultTags - 4) + "<b id=result_box>'x'</b>";
    ASSERT_EQ(hidden.count('<'), maxResultTags);
    EXPECT_EQ(read(hidden).translation, "x");
    EXPECT_TRUE(read("<i>" + hidden).error.contains("kein Element"));
    const AnswerReading big =
        read("<i id=result_box>'" + QByteArray(maxResultBytes, 'x') + "'</i>");
    EXPECT_TRUE(big.error.contains("größer als 256 KB")) << big.error.toStdString();
}

} // namespace
} // namespace kelo::test
