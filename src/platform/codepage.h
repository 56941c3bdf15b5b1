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
