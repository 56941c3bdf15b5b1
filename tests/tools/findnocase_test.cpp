// The case-ignoring search, UTF-8 and UTF-16 alike, on its hard characters and
// against a plain model on random texts long enough to cross its scan blocks.
#include "tools/findnocase.h"

#include "support/testenv.h"

#include <QString>

#include <gtest/gtest.h>

namespace kelo {
namespace {

// FindNoCase, with the UTF-8 search from the same place made to agree.
int find(const QString &text, const QString &term, int start)
{
    const int found = FindNoCase(text, term, start);
    const QByteArray bytes = text.toUtf8();
    qsizetype from = start - 1;
    if (from > 0 && from < text.size() && text[from].isLowSurrogate() &&
        text[from - 1].isHighSurrogate())
        ++from;
    const Utf8Match match =
        findNoCaseUtf8(bytes, term, text.left(from).toUtf8().size(), bytes.size());
    EXPECT_EQ(match.found(), found != 0);
    if (found != 0 && match.found()) {
        EXPECT_EQ(QString::fromUtf8(bytes.left(match.position)).size(), start - 1 + found - 1);
        EXPECT_EQ(QString::fromUtf8(bytes.mid(match.position, match.bytes)).size(), term.size());
    }
    return found;
}

// The hard characters; where a match may lie is left to the random texts.
TEST(FindNoCase, LowerCasesEachCharacterInPlace)
{
    EXPECT_EQ(find("Viel ÄRGER", "ärger", 1), 6);
    EXPECT_EQ(find("STRAẞE", "straße", 1), 1);
    EXPECT_EQ(find("STRASSE", "straße", 1), 0); // no full case folding
    EXPECT_EQ(find("İ abc", "ABC", 1), 3);      // "İ" keeps its one place
    EXPECT_EQ(find("5 \u212a", "k", 1), 3);     // the Kelvin sign
    EXPECT_EQ(find("a😀𐐀", "𐐨", 2), 3);
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
    const QStringList alphabet =
        QString::fromUtf8("a|A|ä|Ä|i|I|İ|k|\u212a|ß|ẞ|😀|𐐀|𐐨|\r|\n|\r\n| ").split(u'|');
    quint32 seed = 4711;
    const auto next = [&seed](qsizetype range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % quint32(range));
    };
    const auto randomText = [&](int maxPieces) {
        QString text;
        for (int pieces = next(maxPieces + 1); pieces > 0; --pieces)
            text += alphabet[next(alphabet.size())];
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        const QString text = randomText(40);
        QString term = randomText(3);
        if (next(8) == 0 && !term.isEmpty())
            term.chop(1); // sometimes half a pair
        const int start = 1 + next(text.size() + 2);
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + ::testing::PrintToString(term) +
                     " @" + std::to_string(start));
        ASSERT_EQ(find(text, term, start), modelFind(text, term, start));
        ASSERT_FALSE(HasFailure());
    }
}

} // namespace
} // namespace kelo
