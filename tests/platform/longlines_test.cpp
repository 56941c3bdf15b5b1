#include "platform/longlines.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kelo;

namespace {

// Every line of the text, the plain way: a line ends at CR, LF or CR LF.
std::vector<LineSpan> everyLine(const std::string &text)
{
    std::vector<LineSpan> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= qsizetype(text.size()); ++i) {
        if (i == qsizetype(text.size()) || text[i] == '\r' || text[i] == '\n') {
            lines.push_back({start, i - start});
            if (i + 1 < qsizetype(text.size()) && text[i] == '\r' && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    return lines;
}

// Lines around the limit, ending in every kind of break or none: exactly
// those of at least the limit are found.
TEST(LongLines, FindsExactlyTheLinesOfAtLeastTheLimit)
{
    QRandomGenerator random(7);
    const char *const breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n"};
    for (const qsizetype limit : {1, 2, 5, 16, 64}) {
        for (int round = 0; round < 300; ++round) {
            std::string text;
            const int lines = random.bounded(12);
            for (int line = 0; line < lines; ++line) {
                const int length = random.bounded(int(limit) * 3 + 1);
                for (int i = 0; i < length; ++i)
                    text += "ab \xC3\xA4"[random.bounded(5)];
                if (line + 1 < lines || random.bounded(2))
                    text += breaks[random.bounded(5)];
            }
            std::vector<LineSpan> expected;
            for (const LineSpan &line : everyLine(text))
                if (line.length >= limit)
                    expected.push_back(line);
            SCOPED_TRACE(testing::Message() << "limit " << limit << ", text \"" << text << '"');
            EXPECT_EQ(longLines(QByteArrayView(text.data(), qsizetype(text.size())), limit),
                      expected);
        }
    }
    EXPECT_TRUE(longLines(QByteArrayView(), 1).empty());
}

// A word and the spaces after it have one style, the next word the other,
// however the line is cut into pieces. A word of more than 12 characters goes
// on in pieces of two ASCII characters or one Latin or Chinese character,
// each with the combining marks, emoji and such after it, never splitting
// the bytes of a character.
TEST(LongLines, WordsAlternateInStyleAcrossPieces)
{
    const struct {
        QByteArray line;
        std::vector<int> pieces; // in bytes, the first with style 0
    } cases[] = {
        {"  Grüße aus  München, schön   Ende", {2, 8, 5, 10, 9, 4}},
        // "Grüße ", "Zusammenarbe", "it", "s", "ü", "ü", "b€", "er", "ab ",
        // "kurz ", then a word of exactly 12 characters, whole.
        {"Grüße Zusammenarbeitsüüb€erab kurz Donnerstagen ",
         {8, 12, 2, 1, 2, 2, 4, 2, 3, 5, 13}},
        // "e" and a combining acute, "中", "x" and a thumb with its skin tone
        {"0123456789ABe\xCC\x81中x👍🏽yz", {12, 3, 3, 9, 2}},
        // Arabic letters join: they go on with the piece before them.
        {"0123456789ABcسلام", {12, 9}},
    };
    for (const auto &[line, pieces] : cases) {
        QByteArray expected;
        char style = '0';
        for (const int bytes : pieces) {
            expected += QByteArray(bytes, style);
            style = style == '0' ? '1' : '0';
        }
        ASSERT_EQ(expected.size(), line.size()) << line.constData();
        for (qsizetype cut = 0; cut <= line.size(); ++cut) {
            WordStyles words;
            QByteArray styles(line.size(), 'x');
            words.next(QByteArrayView(line).first(cut), styles.data());
            words.next(QByteArrayView(line).sliced(cut), styles.data() + cut);
            for (char &byteStyle : styles)
                byteStyle = char('0' + byteStyle);
            EXPECT_EQ(styles, expected) << line.constData() << ", cut at " << cut;
        }
    }
}

} // namespace
