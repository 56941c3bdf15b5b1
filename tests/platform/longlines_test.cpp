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
// however the line is cut into pieces.
TEST(LongLines, WordsAlternateInStyleAcrossPieces)
{
    const QByteArray line = "  Grüße aus  München, schön   Ende";
    // "  ", "Grüße ", "aus  ", "München, ", "schön   ", "Ende" in bytes
    QByteArray expected;
    for (const auto &[bytes, style] :
         {std::pair{2, '0'}, {8, '1'}, {5, '0'}, {10, '1'}, {9, '0'}, {4, '1'}})
        expected += QByteArray(bytes, style);
    ASSERT_EQ(expected.size(), line.size());
    for (qsizetype cut = 0; cut <= line.size(); ++cut) {
        WordStyles words;
        QByteArray styles(line.size(), 'x');
        words.next(QByteArrayView(line).first(cut), styles.data());
        words.next(QByteArrayView(line).sliced(cut), styles.data() + cut);
        for (char &style : styles)
            style = char('0' + style);
        EXPECT_EQ(styles, expected) << "cut at " << cut;
    }
}

} // namespace
