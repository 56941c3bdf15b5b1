// A single pass over HTML markup that sees its tags the way an HTML parser's
// tokenizer does (comments, doctype, raw-text elements such as <script> and
// the attributes with their quoting), without building a tree.
//
// The translation answer is read in two steps: this scan finds the element
// that holds the result and cuts its markup out of the page in time linear in
// the page's size, and only that small piece goes to the full HTML parser,
// whose tree building can take time quadratic in the number of open tags.
#pragma once

#include <QByteArrayView>

#include <optional>
#include <vector>

namespace kelo {

struct HtmlAttribute {
    QByteArrayView name; // as written; compare with equalsAsciiNoCase
    QByteArrayView value;
};

struct HtmlTag {
    enum class Kind { Start, End };
    Kind kind = Kind::Start;
    QByteArrayView name; // as written; compare with equalsAsciiNoCase
    std::vector<HtmlAttribute> attributes;
    bool selfClosing = false;
    qsizetype begin = 0; // offset of the '<'
    qsizetype end = 0;   // offset just after the '>'

    // The value of the first attribute of that name (later duplicates do not
    // count, as in HTML), or nullopt.
    std::optional<QByteArrayView> attribute(QByteArrayView name) const;
};

bool equalsAsciiNoCase(QByteArrayView a, QByteArrayView b);

class HtmlScanner {
public:
    explicit HtmlScanner(QByteArrayView markup);

    // The next start or end tag; nullopt at the end of the markup. Text,
    // comments, doctypes and the content of raw-text elements are passed over.
    std::optional<HtmlTag> next();

private:
    void skipRawText(QByteArrayView elementName);
    void skipTo(char terminator);
    void skipComment();
    bool readAttributes(HtmlTag &tag);

    QByteArrayView m_markup;
    qsizetype m_pos = 0;
};

// Where the element with the given id sits in the markup.
struct ElementSlice {
    qsizetype begin = 0; // its start tag
    qsizetype end = 0;   // after its end tag (or the end of the markup)
    QByteArrayView tagName;
};

enum class SliceError { NotFound, TooManyTags };

// Finds the first element whose id attribute is exactly `id` and the end of
// its markup: the end tag that balances its start tag, counting only tags of
// the same name. Any doubt makes the slice longer, never shorter, so the
// parser that reads the slice afterwards sees the whole element. Stops with
// TooManyTags as soon as the element holds more than maxTags tags.
struct ElementSliceResult {
    std::optional<ElementSlice> slice;
    SliceError error = SliceError::NotFound;
};
ElementSliceResult findElementById(QByteArrayView markup, QByteArrayView id, qsizetype maxTags);

} // namespace kelo
