// Code pages and line-break conventions of text files.
//
// Kelo keeps its editor text as UTF-8 with CR LF line breaks. A file is read
// into that form and written back in the form it came in, byte for byte:
//  - a file that starts with a UTF-8 byte-order mark, or is valid UTF-8 and
//    holds at least one non-ASCII byte, is UTF-8 (the mark is remembered, not
//    shown);
//  - every other file is Windows-1252, one byte per character; the five bytes
//    that Windows-1252 leaves undefined map to the C1 control characters of
//    the same value, so every byte sequence round-trips;
//  - a pure-ASCII file, and a new text, are UTF-8;
//  - a file whose every line break is a lone LF (and which holds no CR at all)
//    is shown with CR LF breaks and written back with LF breaks; every other
//    file keeps its bytes exactly, lone CRs and LFs included;
//  - how the file ended (with which line break, or with none) is remembered,
//    so that saving an unchanged text adds nothing.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace kelo {

enum class Encoding { Utf8, Windows1252 };

// The line break a file ended with, as bytes of the file. A new text, read
// from no file, has none of these: saving gives it the classic CR LF.
enum class FinalBreak { NewText, None, CrLf, Lf, Cr };

// How a text was stored in its file; writing uses the same form.
struct TextFormat {
    Encoding encoding = Encoding::Utf8;
    bool byteOrderMark = false; // the file started with EF BB BF
    bool unixLineEnds = false;  // the file's breaks were lone LFs, shown as CR LF
    FinalBreak finalBreak = FinalBreak::NewText;
    friend bool operator==(const TextFormat &, const TextFormat &) = default;
};

// A file's content in the editor's form (UTF-8, CR LF breaks, no byte-order
// mark) together with the form it was stored in.
struct DecodedText {
    QByteArray utf8;
    TextFormat format;
};

// The bytes to write for an editor text. fellBackToUtf8 is set when the text
// was Windows-1252 but holds characters that Windows-1252 cannot represent:
// the bytes are then UTF-8 (without a byte-order mark), so nothing is lost.
struct EncodedText {
    QByteArray bytes;
    bool fellBackToUtf8 = false;
};

// Reads a file's bytes into the editor's form. Linear in the size. The bytes
// are a file's, so even no bytes at all are a file that ended without a line
// break.
DecodedText decodeText(QByteArrayView bytes);

// Reading a file in pieces, for files too large to hold twice: a first pass
// over the bytes learns their form (which decodeText can only tell from the
// whole file), a second one decodes them piece by piece. The pieces may be of
// any size and may cut a UTF-8 sequence or a CR LF pair anywhere; the result
// is exactly decodeText's.

// Learns the form of a file's bytes, given in order in pieces.
class TextFormatScanner {
public:
    // Only the form is learnt, not the length of the text, when the bytes
    // are read again merely to see that their form is still the same.
    enum class Learn { FormAndSize, FormOnly };
    explicit TextFormatScanner(Learn learn = Learn::FormAndSize)
        : m_countSize(learn == Learn::FormAndSize)
    {}

    void add(QByteArrayView piece);
    // After the last piece: the form decodeText gives all the bytes, and
    // (with FormAndSize) the length of its editor text.
    TextFormat format() const;
    qsizetype editorSize() const;
    qint64 fileSize() const { return m_size; }
    // What the bytes so far already tell: whether they may still be UTF-8,
    // whether a CR came (so no Unix line ends), whether they start with the
    // UTF-8 mark.
    bool mayBeUtf8() const { return m_validUtf8; }
    bool sawCr() const { return m_sawCr; }
    bool startsWithMark() const;

private:
    void scanUtf8(const unsigned char *p, const unsigned char *end);

    bool m_countSize;
    qint64 m_size = 0;
    qint64 m_lineFeeds = 0;        // with FormOnly only whether there is one
    qint64 m_windows1252Extra = 0; // beyond one byte per file byte
    bool m_sawCr = false;
    bool m_validUtf8 = true;
    std::array<unsigned char, 3> m_head{}; // the first bytes, for the mark
    std::array<unsigned char, 2> m_tail{}; // the last bytes, for the final break
    // A UTF-8 sequence the last piece cut off, completed by the next one.
    std::array<unsigned char, 4> m_cut{};
    int m_cutLength = 0;
};

// Decodes a file's bytes, given in order in pieces, for the form a
// TextFormatScanner found in them: the editor text of all pieces together is
// decodeText's. Each piece's text depends on that piece alone.
class TextPieceDecoder {
public:
    explicit TextPieceDecoder(const TextFormat &format)
        : m_format(format)
    {}
    // The editor text of the next piece: the piece itself where nothing
    // changes, else decoded into `buffer` (whose memory is reused).
    QByteArrayView decode(QByteArrayView piece, QByteArray &buffer);

private:
    TextFormat m_format;
    qint64 m_position = 0;
};

// The line break at the end of a file's bytes, or None.
FinalBreak finalBreakOf(QByteArrayView fileBytes);

// Turns an editor text (UTF-8, CR LF breaks) back into file bytes of the given
// form. For a text that decodeText produced and that was not changed, the
// result equals the original bytes exactly. Linear in the size.
EncodedText encodeText(QByteArrayView editorUtf8, const TextFormat &format);

// Strict UTF-8 validation: no overlong forms, no surrogates, nothing above
// U+10FFFF, no truncated sequences.
bool isValidUtf8(QByteArrayView bytes);

// Length of the well-formed UTF-8 sequence at p (p < end), or 0 when the bytes
// there do not start one (by the rules of isValidUtf8).
int utf8SequenceLength(const unsigned char *p, const unsigned char *end);

// The Windows-1252 table, both ways.
char32_t windows1252ToUnicode(unsigned char byte);
std::optional<unsigned char> unicodeToWindows1252(char32_t codePoint);

} // namespace kelo
