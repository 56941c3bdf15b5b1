// The case-ignoring search: the dialog's examples, characters whose case
// forms differ in length, surrogate pairs and line breaks at the edges of a
// match, and the UTF-8 search checked against the UTF-16 one and against a
// plain model (lower-case a copy, then QStringView::indexOf).
#include "tools/findnocase.h"

#include "support/testenv.h"

#include <QString>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace kelo {
namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// The UTF-8 position of the first character at or after a UTF-16 offset.
qsizetype bytesBefore(const QString &text, qsizetype offset)
{
    if (offset > 0 && offset < text.size() && text[offset].isLowSurrogate() &&
        text[offset - 1].isHighSurrogate())
        ++offset;
    return text.left(offset).toUtf8().size();
}

struct FindCase {
    const char *text;
    const char *term;
    int start;
    int expected; // counted from start, 0: not found
};

void PrintTo(const FindCase &c, std::ostream *out)
{
    *out << c.text << " / " << c.term << " @" << c.start;
}

class FindNoCaseTable : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindNoCaseTable, FindsTheFirstMatchFromStart)
{
    const FindCase &c = GetParam();
    EXPECT_EQ(FindNoCase(u(c.text), u(c.term), c.start), c.expected);
}

// The UTF-8 search finds the same match: same start, same UTF-16 length.
TEST_P(FindNoCaseTable, Utf8SearchAgrees)
{
    const FindCase &c = GetParam();
    const QString text = u(c.text);
    const QString term = u(c.term);
    const QByteArray bytes = text.toUtf8();
    const qsizetype from = bytesBefore(text, c.start - 1);
    const Utf8Match match = findNoCaseUtf8(bytes, term, from, bytes.size());
    if (c.expected == 0) {
        EXPECT_FALSE(match.found()) << match.position;
        return;
    }
    ASSERT_TRUE(match.found());
    const QString before = QString::fromUtf8(bytes.left(match.position));
    EXPECT_EQ(before.size(), c.start - 1 + c.expected - 1);
    EXPECT_EQ(QString::fromUtf8(bytes.mid(match.position, match.bytes)).size(), term.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindNoCaseTable,
    ::testing::Values(
        // "suchen", then "weitersuchen" from one after each match's start.
        FindCase{"ein Test und ein test", "TEST", 1, 5},
        FindCase{"ein Test und ein test", "TEST", 6, 13},
        FindCase{"ein Test und ein test", "TEST", 19, 0},
        // Overlapping matches are all found in turn.
        FindCase{"aaaa", "aa", 1, 1}, FindCase{"aaaa", "aa", 2, 1}, FindCase{"aaaa", "aa", 3, 1},
        FindCase{"aaaa", "aa", 4, 0},
        // Umlauts and their capitals; ß has no one-letter capital but U+1E9E.
        FindCase{"Viel \xc3\x84RGER", "\xc3\xa4rger", 1, 6},
        FindCase{"STRA\xe1\xba\x9e"
                 "E",
                 "stra\xc3\x9f"
                 "e",
                 1, 1},
        FindCase{"STRASSE",
                 "stra\xc3\x9f"
                 "e",
                 1, 0},
        // "İ" lower-cases to "i" in place: later matches keep their places.
        FindCase{"\xc4\xb0 abc", "ABC", 1, 3}, FindCase{"\xc4\xb0stanbul", "istanbul", 1, 1},
        // The Kelvin and Angstrom signs lower-case to ASCII k and to å.
        FindCase{"5 \xe2\x84\xaa", "k", 1, 3}, FindCase{"1 \xe2\x84\xab", "\xc3\xa5", 1, 3},
        // Outside the Basic Multilingual Plane: a pair is one character.
        FindCase{"a\xf0\x9f\x98\x80"
                 "b\xf0\x9f\x98\x80",
                 "\xf0\x9f\x98\x80", 1, 2},
        FindCase{"a\xf0\x9f\x98\x80"
                 "b\xf0\x9f\x98\x80",
                 "\xf0\x9f\x98\x80", 3, 3},
        FindCase{"a\xf0\x9f\x98\x80"
                 "b\xf0\x9f\x98\x80",
                 "B\xf0\x9f\x98\x80", 3, 2},
        FindCase{"\xf0\x90\x90\x80", "\xf0\x90\x90\xa8", 1, 1}, // Deseret capital and small
        // A line break inside the term; never half of a CR LF pair.
        FindCase{"ein\r\nzwei", "N\r\nZ", 1, 3}, FindCase{"ein\r\nzwei", "\r\n", 1, 4},
        FindCase{"ein\r\nzwei", "\n", 1, 0}, FindCase{"ein\r\nzwei", "n\r", 1, 0},
        FindCase{"a\nb\rc", "\nB\r", 1, 2},
        // The term longer than the text or than what is left of it.
        FindCase{"ab", "abc", 1, 0}, FindCase{"abcab", "abc", 2, 0}, FindCase{"abc", "c", 5, 0},
        FindCase{"", "a", 1, 0},
        // An empty term is found at once, except in nothing.
        FindCase{"abc", "", 1, 1}, FindCase{"abc", "", 3, 1}, FindCase{"abc", "", 4, 0},
        FindCase{"", "", 1, 0}, FindCase{"a\r\nb", "", 3, 2}));

// A term made of half a surrogate pair never matches half of one.
TEST(FindNoCase, NeverMatchesHalfASurrogatePair)
{
    const QString emoji = u("x\xf0\x9f\x98\x80y");
    EXPECT_EQ(FindNoCase(emoji, emoji.mid(1, 1), 1), 0);
    EXPECT_EQ(FindNoCase(emoji, emoji.mid(2, 1), 1), 0);
    EXPECT_EQ(FindNoCase(emoji, emoji.mid(2, 2), 1), 0);
    // A surrogate on its own in the text is a character of its own.
    const QString lone = QStringLiteral("a") + emoji.at(2) + QStringLiteral("b");
    EXPECT_EQ(FindNoCase(lone, emoji.mid(2, 1), 1), 2);
    const QByteArray bytes = emoji.toUtf8();
    EXPECT_FALSE(findNoCaseUtf8(bytes, emoji.mid(1, 1), 0, bytes.size()).found());
    EXPECT_FALSE(findNoCaseUtf8(bytes, emoji.mid(2, 1), 0, bytes.size()).found());
}

// A match must end inside the range: the search in a selection.
TEST(FindNoCase, Utf8SearchStaysInsideTheRange)
{
    const QByteArray text = "ein Test und ein test";
    EXPECT_EQ(findNoCaseUtf8(text, u("EIN"), 9, 21).position, 13);
    EXPECT_EQ(findNoCaseUtf8(text, u("EIN"), 9, 16).position, 13);
    EXPECT_FALSE(findNoCaseUtf8(text, u("EIN"), 9, 15).found());
    EXPECT_FALSE(findNoCaseUtf8(text, u("EIN"), 14, 21).found());
    EXPECT_FALSE(findNoCaseUtf8(text, QString(), 9, 9).found());
    EXPECT_EQ(findNoCaseUtf8(text, QString(), 9, 10).position, 9);
    // Ranges beyond the text are cut to it.
    EXPECT_EQ(findNoCaseUtf8(text, u("TEST"), -5, 999).position, 4);
    EXPECT_FALSE(findNoCaseUtf8(text, u("TEST"), 30, 999).found());
    // Starting inside a character skips to the next one.
    const QByteArray umlauts = u("\xc3\xa4\xc3\xa4").toUtf8();
    EXPECT_EQ(findNoCaseUtf8(umlauts, QString(), 1, umlauts.size()).position, 2);
    EXPECT_EQ(findNoCaseUtf8(umlauts, u("\xc3\x84"), 1, umlauts.size()).position, 2);
    // A range that ends inside a character does not hold that character.
    EXPECT_FALSE(findNoCaseUtf8(umlauts, u("\xc3\x84\xc3\x84"), 0, 3).found());
    EXPECT_FALSE(findNoCaseUtf8(umlauts, u("\xc3\x84"), 1, 3).found());
}

// The scan for a first byte reads the text in blocks: a match is found
// wherever it lies in a block, and a partial match is passed over.
TEST(FindNoCase, Utf8SearchFindsAMatchAtEveryPlace)
{
    for (int place = 0; place < 40; ++place) {
        SCOPED_TRACE(place);
        QByteArray text(50, '-');
        text.replace(place, 3, "XY-");
        if (place >= 3)
            text.replace(place - 3, 2, "xz"); // a near miss before it
        const Utf8Match match = findNoCaseUtf8(text, u("xY"), 0, text.size());
        EXPECT_EQ(match.position, place);
        EXPECT_EQ(match.bytes, 2);
        // A character of three bytes whose lower-case form is ASCII.
        QByteArray kelvin(40, '.');
        kelvin.insert(place, "\xe2\x84\xaa!");
        EXPECT_EQ(findNoCaseUtf8(kelvin, u("K!"), 0, kelvin.size()).position, place);
        EXPECT_EQ(findNoCaseUtf8(kelvin, u("K!"), place + 1, kelvin.size()).position, -1);
    }
}

// Bytes that are not well-formed UTF-8 are characters of their own, read as
// U+FFFD, and never hide the character after them.
TEST(FindNoCase, Utf8SearchReadsBrokenBytesAsReplacementCharacters)
{
    const QByteArray text = "a\xe2\x82"
                            "b\xff";
    EXPECT_EQ(findNoCaseUtf8(text, u("B"), 0, text.size()).position, 3);
    const Utf8Match replacement = findNoCaseUtf8(text, QString(QChar(0xFFFD)), 0, text.size());
    EXPECT_EQ(replacement.position, 1);
    EXPECT_EQ(replacement.bytes, 1);
    EXPECT_EQ(
        findNoCaseUtf8(text, QString(QString(QChar(0xFFFD)) + u("b")), 0, text.size()).position, 2);
}

// The plain model: lower-case a copy of what is left character by character,
// then look with indexOf for a match that splits no pair.
int modelFind(const QString &text, const QString &term, int start)
{
    const auto lowerEach = [](QStringView s) {
        QString lowered;
        for (qsizetype i = 0; i < s.size(); ++i) {
            if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
                const char32_t c = QChar::surrogateToUcs4(s[i], s[i + 1]);
                const char32_t lower = QChar::toLower(c) > 0xFFFF ? QChar::toLower(c) : c;
                lowered += QChar(QChar::highSurrogate(lower));
                lowered += QChar(QChar::lowSurrogate(lower));
                ++i;
            } else {
                // "İ": QChar leaves it, its simple lower-case mapping is "i".
                lowered += s[i] == QChar(0x0130) ? QChar(u'i') : s[i].toLower();
            }
        }
        return lowered;
    };
    const qsizetype first = start - 1;
    if (first >= text.size())
        return 0;
    const QString rest = lowerEach(QStringView(text).mid(first));
    const QString wanted = lowerEach(term);
    const auto splits = [&text](qsizetype at) {
        return at > 0 && at < text.size() &&
               ((text[at - 1] == u'\r' && text[at] == u'\n') ||
                (text[at - 1].isHighSurrogate() && text[at].isLowSurrogate()));
    };
    for (qsizetype at = rest.indexOf(wanted); at >= 0 && at < rest.size();
         at = rest.indexOf(wanted, at + 1)) {
        if (!splits(first + at) && !splits(first + at + term.size()))
            return int(at + 1);
    }
    return 0;
}

TEST(FindNoCase, AgreesWithThePlainModelOnRandomTexts)
{
    const QStringList alphabet = {u("a"),
                                  u("A"),
                                  u("\xc3\xa4"),
                                  u("\xc3\x84"),
                                  u("i"),
                                  u("I"),
                                  u("\xc4\xb0"),
                                  u("k"),
                                  u("\xe2\x84\xaa"),
                                  u("\xc3\x9f"),
                                  u("\xe1\xba\x9e"),
                                  u("\xf0\x9f\x98\x80"),
                                  u("\xf0\x90\x90\x80"),
                                  u("\xf0\x90\x90\xa8"),
                                  u("\r"),
                                  u("\n"),
                                  u("\r\n"),
                                  u(" ")};
    quint32 seed = 4711;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % range);
    };
    const auto randomText = [&](int maxPieces) {
        QString text;
        const int pieces = next(quint32(maxPieces) + 1);
        for (int i = 0; i < pieces; ++i)
            text += alphabet[next(quint32(alphabet.size()))];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(14);
        QString term = randomText(3);
        if (next(8) == 0 && !term.isEmpty())
            term.chop(1); // sometimes half a pair
        const int start = 1 + next(quint32(text.size()) + 2);
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + ::testing::PrintToString(term) +
                     " @" + std::to_string(start));
        const int found = FindNoCase(text, term, start);
        ASSERT_EQ(found, modelFind(text, term, start));

        // The UTF-8 search, from the first character at or after start.
        const QByteArray bytes = text.toUtf8();
        const Utf8Match match =
            findNoCaseUtf8(bytes, term, bytesBefore(text, start - 1), bytes.size());
        if (found == 0) {
            ASSERT_FALSE(match.found());
            continue;
        }
        ASSERT_TRUE(match.found());
        ASSERT_EQ(QString::fromUtf8(bytes.left(match.position)).size(), start - 1 + found - 1);
        ASSERT_EQ(QString::fromUtf8(bytes.mid(match.position, match.bytes)).size(), term.size());
    }
}

} // namespace
} // namespace kelo
