// Decoding of the answer and the reading of its "result_box" element.
//
// gumbo 0.10.1 builds its tree in time quadratic in the number of open
// elements (every start tag searches the stack of open elements, every
// character searches it again while formatting elements are open), and it
// copies that stack into every parse error it records. A page of 100,000
// nested or unclosed tags therefore takes minutes and gigabytes. So a linear
// scan cuts out the one element we need, refuses it when it holds more than
// maxResultTags tags or maxResultBytes bytes, and gumbo reads just that piece.
// Only when the scan finds no such element, and the page has no more than
// maxResultTags '<' in all, does gumbo read the whole page (at the answer cap
// of 2 MB in under a second). Error recording is always switched off.
#include "services/translationanswer.h"

#include "platform/codepage.h"
#include "services/htmlscan.h"

#include <QList>
#include <QStringDecoder>

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <vector>

namespace kelo {

namespace {

constexpr bool isAsciiSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

QByteArray normalisedLabel(QByteArrayView label)
{
    QByteArray result = label.trimmed().toByteArray().toLower();
    if (result.size() >= 2 && (result.front() == '"' || result.front() == '\'') &&
        result.back() == result.front())
        result = result.mid(1, result.size() - 2).trimmed();
    return result;
}

bool isLabelOf(const QByteArray &label, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (label == name)
            return true;
    }
    return false;
}

bool isUtf8Label(const QByteArray &label)
{
    return isLabelOf(label, {"utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8",
                             "x-unicode20utf8"});
}

// The web reads every one of these as Windows-1252.
bool isWindows1252Label(const QByteArray &label)
{
    return isLabelOf(label,
                     {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1", "iso88591",
                      "iso_8859-1", "iso_8859-1:1987", "latin1", "l1", "ascii", "us-ascii",
                      "csascii", "ansi_x3.4-1968", "cp819", "csisolatin1", "ibm819", "iso-ir-100"});
}

bool isUtf16Label(const QByteArray &label)
{
    return isLabelOf(label, {"utf-16", "utf-16le", "utf-16be", "unicode", "ucs-2", "csunicode",
                             "iso-10646-ucs-2", "unicodefeff", "unicodefffe"});
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const char32_t codePoint = windows1252ToUnicode(static_cast<unsigned char>(byte));
        text.append(QChar(static_cast<char16_t>(codePoint)));
    }
    return text;
}

std::optional<QString> decodeWith(const QByteArray &label, QByteArrayView bytes)
{
    if (label.isEmpty() || isWindows1252Label(label))
        return fromWindows1252(bytes);
    if (isUtf8Label(label))
        return QString::fromUtf8(bytes);
    if (label == "utf-16be")
        return QStringDecoder(QStringConverter::Utf16BE).decode(bytes);
    if (isUtf16Label(label))
        return QStringDecoder(QStringConverter::Utf16LE).decode(bytes);
    QStringDecoder decoder(label.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return decoder.decode(bytes);
}

// A parse with its output freed at the end of the scope.
class GumboTree {
public:
    GumboTree(QByteArrayView utf8, const GumboOptions &options)
        : m_options(options)
        , m_output(gumbo_parse_with_options(&m_options, utf8.data(), size_t(utf8.size())))
    {}
    ~GumboTree()
    {
        if (m_output)
            gumbo_destroy_output(&m_options, m_output);
    }
    GumboTree(const GumboTree &) = delete;
    GumboTree &operator=(const GumboTree &) = delete;

    const GumboNode *root() const { return m_output ? m_output->document : nullptr; }

private:
    GumboOptions m_options;
    GumboOutput *m_output;
};

const GumboVector *childrenOf(const GumboNode *node)
{
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
        return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE:
        return &node->v.element.children;
    default:
        return nullptr;
    }
}

// Pushes the children so that they come off the stack in document order.
void pushChildren(std::vector<const GumboNode *> &stack, const GumboNode *node)
{
    const GumboVector *children = childrenOf(node);
    if (!children)
        return;
    for (unsigned i = children->length; i > 0; --i)
        stack.push_back(static_cast<const GumboNode *>(children->data[i - 1]));
}

const GumboNode *elementById(const GumboNode *root, const char *id)
{
    std::vector<const GumboNode *> stack{root};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboAttribute *attribute =
                gumbo_get_attribute(&node->v.element.attributes, "id");
            if (attribute && qstrcmp(attribute->value, id) == 0)
                return node;
        }
        // Template content is not part of the document's tree.
        if (node->type != GUMBO_NODE_TEMPLATE)
            pushChildren(stack, node);
    }
    return nullptr;
}

bool isHiddenElement(GumboTag tag)
{
    return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_NOSCRIPT ||
           tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_TITLE;
}

// Elements that a browser shows on a line of their own; their text is kept
// apart from the neighbours' by a blank.
bool isBlockElement(GumboTag tag)
{
    static constexpr std::array blocks = {
        GUMBO_TAG_BR,        GUMBO_TAG_P,     GUMBO_TAG_DIV,     GUMBO_TAG_LI,     GUMBO_TAG_TD,
        GUMBO_TAG_TH,        GUMBO_TAG_TR,    GUMBO_TAG_TABLE,   GUMBO_TAG_UL,     GUMBO_TAG_OL,
        GUMBO_TAG_H1,        GUMBO_TAG_H2,    GUMBO_TAG_H3,      GUMBO_TAG_H4,     GUMBO_TAG_H5,
        GUMBO_TAG_H6,        GUMBO_TAG_PRE,   GUMBO_TAG_SECTION, GUMBO_TAG_DD,     GUMBO_TAG_DT,
        GUMBO_TAG_ARTICLE,   GUMBO_TAG_ASIDE, GUMBO_TAG_HEADER,  GUMBO_TAG_FOOTER, GUMBO_TAG_HR,
        GUMBO_TAG_BLOCKQUOTE};
    return std::find(blocks.begin(), blocks.end(), tag) != blocks.end();
}

QString visibleText(const GumboNode *element)
{
    // A null entry on the stack stands for the blank after a block element.
    QByteArray raw;
    std::vector<const GumboNode *> stack{element};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (!node) {
            raw.append(' ');
            continue;
        }
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            raw.append(node->v.text.text);
            break;
        case GUMBO_NODE_ELEMENT: {
            const GumboTag tag = node->v.element.tag;
            if (isHiddenElement(tag))
                break;
            if (isBlockElement(tag)) {
                raw.append(' ');
                stack.push_back(nullptr);
            }
            pushChildren(stack, node);
            break;
        }
        default:
            break; // comments, templates
        }
    }
    const QString text = QString::fromUtf8(raw);
    QString collapsed;
    collapsed.reserve(text.size());
    bool pendingBlank = false;
    for (const QChar c : text) {
        if (isAsciiSpace(c.unicode())) {
            pendingBlank = !collapsed.isEmpty();
            continue;
        }
        if (pendingBlank)
            collapsed.append(QLatin1Char(' '));
        pendingBlank = false;
        collapsed.append(c);
    }
    return collapsed;
}

// Markup that puts a table part or a list option where the parser accepts
// it, so that such an element cut out of its page still parses as itself.
QByteArrayView contextFor(QByteArrayView tagName)
{
    if (equalsAsciiNoCase(tagName, "td") || equalsAsciiNoCase(tagName, "th"))
        return "<table><tr>";
    if (equalsAsciiNoCase(tagName, "tr"))
        return "<table><tbody>";
    if (equalsAsciiNoCase(tagName, "col"))
        return "<table><colgroup>";
    for (const char *part : {"tbody", "thead", "tfoot", "caption", "colgroup"}) {
        if (equalsAsciiNoCase(tagName, part))
            return "<table>";
    }
    if (equalsAsciiNoCase(tagName, "option") || equalsAsciiNoCase(tagName, "optgroup"))
        return "<select>";
    return {};
}

QString noResultBox()
{
    return QStringLiteral("Die Antwort enthält kein Element mit der Id \"result_box\".");
}

// The text of the element with the id "result_box" in the markup.
ResultBoxText resultBoxTextIn(QByteArrayView utf8)
{
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // an error record copies the whole stack of open elements
    const GumboTree tree(utf8, options);
    const GumboNode *element = tree.root() ? elementById(tree.root(), "result_box") : nullptr;
    if (!element)
        return {std::nullopt, noResultBox()};
    return {visibleText(element), {}};
}

} // namespace

std::optional<QByteArray> charsetFromContentType(QByteArrayView contentType)
{
    const QList<QByteArray> parts = contentType.toByteArray().split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray label = normalisedLabel(parameter.mid(equals + 1));
        if (!label.isEmpty())
            return label;
    }
    return std::nullopt;
}

std::optional<QByteArray> charsetFromMeta(QByteArrayView page)
{
    // A declaration only counts in the head; a page that declares late is
    // read as undeclared rather than scanned to its end.
    constexpr qsizetype headLimit = 64 * 1024;
    HtmlScanner scanner(page);
    while (const std::optional<HtmlTag> tag = scanner.next()) {
        if (tag->begin > headLimit || equalsAsciiNoCase(tag->name, "body"))
            break;
        if (tag->kind != HtmlTag::Kind::Start || !equalsAsciiNoCase(tag->name, "meta"))
            continue;
        if (const auto charset = tag->attribute("charset")) {
            QByteArray label = normalisedLabel(*charset);
            if (!label.isEmpty())
                return label;
        }
        const auto equiv = tag->attribute("http-equiv");
        const auto content = tag->attribute("content");
        if (equiv && content && equalsAsciiNoCase(equiv->trimmed(), "content-type")) {
            if (auto label = charsetFromContentType(*content))
                return label;
        }
    }
    return std::nullopt;
}

DecodedAnswer decodeAnswer(QByteArrayView body, QByteArrayView contentType)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return {QString::fromUtf8(body.sliced(3)), "utf-8"};
    if (body.startsWith("\xFE\xFF"))
        return {QStringDecoder(QStringConverter::Utf16BE).decode(body.sliced(2)), "utf-16be"};
    if (body.startsWith("\xFF\xFE"))
        return {QStringDecoder(QStringConverter::Utf16LE).decode(body.sliced(2)), "utf-16le"};

    if (std::optional<QByteArray> label = charsetFromContentType(contentType))
        return {decodeWith(*label, body), *label};
    if (std::optional<QByteArray> label = charsetFromMeta(body)) {
        // A page that could declare itself in ASCII is no UTF-16 page.
        const QByteArray effective = isUtf16Label(*label) ? QByteArray("utf-8") : *label;
        return {decodeWith(effective, body), *label};
    }
    return {fromWindows1252(body), {}};
}

ResultBoxText resultBoxText(const QString &page)
{
    const QByteArray utf8 = page.toUtf8();
    const ElementSliceResult found = findElementById(utf8, "result_box", maxResultTags);
    if (found.slice) {
        const ElementSlice &slice = *found.slice;
        if (slice.end - slice.begin > maxResultBytes) {
            return {std::nullopt, QStringLiteral("Das Element \"result_box\" der Antwort ist "
                                                 "größer als %1 KB.")
                                      .arg(maxResultBytes / 1024)};
        }
        QByteArray markup = contextFor(slice.tagName).toByteArray();
        markup.append(QByteArrayView(utf8).sliced(slice.begin, slice.end - slice.begin));
        ResultBoxText box = resultBoxTextIn(markup);
        if (box.text)
            return box;
    } else if (found.error == SliceError::TooManyTags) {
        return {std::nullopt, QStringLiteral("Das Element \"result_box\" der Antwort enthält "
                                             "mehr als %1 Tags.")
                                  .arg(maxResultTags)};
    }
    // The scan follows the tokenizer but not the tree builder, which decides
    // whether a <title> inside <svg> or <select> holds text or markup, and
    // whether an element cut out of <svg> is still itself (a <template> or
    // <frame> there is). A page with no more tag openings than an element may
    // hold is as safe for gumbo as such an element, so gumbo looks at it whole.
    if (utf8.count('<') <= maxResultTags)
        return resultBoxTextIn(utf8);
    return {std::nullopt, noResultBox()};
}

std::optional<QString> withoutFrame(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const qsizetype first = text.front().isHighSurrogate() && text.size() > 1 ? 2 : 1;
    const qsizetype last = text.back().isLowSurrogate() && text.size() > 1 ? 2 : 1;
    if (first + last > text.size())
        return std::nullopt;
    return text.sliced(first, text.size() - first - last);
}

AnswerReading readTranslationAnswer(QByteArrayView body, QByteArrayView contentType)
{
    const DecodedAnswer decoded = decodeAnswer(body, contentType);
    if (!decoded.text) {
        return {std::nullopt, QStringLiteral("Die Antwort hat eine unbekannte Zeichenkodierung "
                                             "(\"%1\").")
                                  .arg(QString::fromLatin1(decoded.charset))};
    }
    const ResultBoxText box = resultBoxText(*decoded.text);
    if (!box.text)
        return {std::nullopt, box.error};
    std::optional<QString> translation = withoutFrame(*box.text);
    if (!translation) {
        return {std::nullopt, QStringLiteral("Der Text im Element \"result_box\" der Antwort ist "
                                             "kürzer als zwei Zeichen (\"%1\").")
                                  .arg(*box.text)};
    }
    return {std::move(translation), {}};
}

} // namespace kelo
