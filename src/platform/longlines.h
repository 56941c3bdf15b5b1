// Finding the very long lines of a text, and the word styles that let the
// editor lay them out quickly.
//
// Scintilla lays out a whole line again after every edit in it, measuring it
// piece by piece with Qt's text layout; a piece ends where the style changes
// and is at most about 100 bytes long. Pieces shorter than 30 bytes are
// measured once and then taken from Scintilla's position cache. When the
// words of a long line alternate between two styles that look the same, each
// word is a piece of its own, and the words of a natural text repeat: a key
// typed into a line of 10 MB then costs a fraction of a second instead of
// seconds. Encoded data, scripts and languages written without spaces have
// no such words, so a word goes on after its first 12 characters in pieces
// of two ASCII characters or of one Latin or Chinese character, with the
// combining marks and other characters that are drawn together with them.
// Of these there are a few thousand, which the position cache holds.
#pragma once

#include <QByteArrayView>

#include <vector>

namespace kelo {

struct LineSpan {
    qsizetype start = 0;
    qsizetype length = 0; // without its line end
    bool operator==(const LineSpan &) const = default;
};

// The lines of at least `atLeast` bytes (atLeast > 0), in order. A line ends
// at CR, at LF or at CR LF. The cost grows with the text divided by
// `atLeast`, not with the text, as long as its lines are short.
std::vector<LineSpan> longLines(QByteArrayView text, qsizetype atLeast);

// Gives each byte of a line style 0 or 1, changing after every run of spaces,
// so that each word with the spaces after it has another style than its
// neighbours, and at every piece of a long word. A character's bytes share
// their style. A line is styled piece by piece, in order.
class WordStyles {
public:
    // Writes one style per byte of `piece` to `styles`.
    void next(QByteArrayView piece, char *styles);

private:
    // The characters a word keeps whole before it goes on in pieces.
    static constexpr int wholeWord = 12;

    char m_style = 0;
    bool m_afterSpace = false;
    int m_wordLength = 0;    // in characters, up to where it is cut
    bool m_pairOpen = false; // the last piece is one ASCII character alone
};

} // namespace kelo
