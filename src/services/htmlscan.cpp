// The tag scan follows the states of the HTML tokenizer closely enough that a
// tag inside a comment, a script or an attribute value is not taken for a
// real one; it keeps no tree and looks at every byte a bounded number of
// times, so a hostile page costs time in proportion to its size.
#include "services/htmlscan.h"

namespace kelo {

namespace {

constexpr bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr char foldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isOneOf(QByteArrayView name, std::initializer_list<const char *> names)
{
    for (const char *candidate : names) {
        if (equalsAsciiNoCase(name, QByteArrayView(candidate)))
            return true;
    }
    return false;
}

// Elements whose content the tokenizer reads as text up to their end tag.
bool isRawTextElement(QByteArrayView name)
{
    return isOneOf(
        name, {"script", "style", "xmp", "iframe", "noembed", "noframes", "title", "textarea"});
}

// HTML's void elements: they never have content or an end tag.
bool isVoidElement(QByteArrayView name)
{
    return isOneOf(name, {"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame",
                          "hr", "image", "img", "input", "keygen", "link", "meta", "param",
                          "source", "track", "wbr"});
}

} // namespace

bool equalsAsciiNoCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

std::optional<QByteArrayView> HtmlTag::attribute(QByteArrayView wanted) const
{
    for (const HtmlAttribute &attribute : attributes) {
        if (equalsAsciiNoCase(attribute.name, wanted))
            return attribute.value;
    }
    return std::nullopt;
}

HtmlScanner::HtmlScanner(QByteArrayView markup)
    : m_markup(markup)
{}

void HtmlScanner::skipTo(char terminator)
{
    const qsizetype found = m_markup.indexOf(terminator, m_pos);
    m_pos = found < 0 ? m_markup.size() : found + 1;
}

void HtmlScanner::skipComment()
{
    // m_pos is just after "<!--". "<!-->" and "<!--->" are whole comments.
    const qsizetype size = m_markup.size();
    if (m_pos < size && m_markup[m_pos] == '>') {
        ++m_pos;
        return;
    }
    if (m_pos + 1 < size && m_markup[m_pos] == '-' && m_markup[m_pos + 1] == '>') {
        m_pos += 2;
        return;
    }
    qsizetype at = m_pos;
    while (true) {
        const qsizetype dashes = m_markup.indexOf(QByteArrayView("--"), at);
        if (dashes < 0) {
            m_pos = size;
            return;
        }
        if (dashes + 2 < size && m_markup[dashes + 2] == '>') {
            m_pos = dashes + 3;
            return;
        }
        if (dashes + 3 < size && m_markup[dashes + 2] == '!' && m_markup[dashes + 3] == '>') {
            m_pos = dashes + 4;
            return;
        }
        at = dashes + 1;
    }
}

void HtmlScanner::skipRawText(QByteArrayView elementName)
{
    const qsizetype size = m_markup.size();
    qsizetype at = m_pos;
    while (true) {
        const qsizetype open = m_markup.indexOf(QByteArrayView("</"), at);
        if (open < 0) {
            m_pos = size;
            return;
        }
        const qsizetype nameEnd = open + 2 + elementName.size();
        if (nameEnd <= size &&
            equalsAsciiNoCase(m_markup.sliced(open + 2, elementName.size()), elementName)) {
            if (nameEnd == size || isHtmlSpace(m_markup[nameEnd]) || m_markup[nameEnd] == '/' ||
                m_markup[nameEnd] == '>') {
                m_pos = open;
                return;
            }
        }
        at = open + 2;
    }
}

bool HtmlScanner::readAttributes(HtmlTag &tag)
{
    // m_pos is just after the tag name. Returns true with m_pos after the
    // '>', or false at the end of the markup when the tag is never closed.
    const qsizetype size = m_markup.size();
    while (m_pos < size) {
        const char c = m_markup[m_pos];
        if (isHtmlSpace(c)) {
            ++m_pos;
            continue;
        }
        if (c == '>') {
            ++m_pos;
            return true;
        }
        if (c == '/') {
            ++m_pos;
            if (m_pos < size && m_markup[m_pos] == '>') {
                tag.selfClosing = true;
                ++m_pos;
                return true;
            }
            continue;
        }
        // An attribute name: a leading '=' belongs to it.
        const qsizetype nameBegin = m_pos++;
        while (m_pos < size) {
            const char n = m_markup[m_pos];
            if (isHtmlSpace(n) || n == '/' || n == '>' || n == '=')
                break;
            ++m_pos;
        }
        HtmlAttribute attribute{m_markup.sliced(nameBegin, m_pos - nameBegin), {}};
        // gumbo begins a name at a NUL but leaves the NUL out of it; kept in,
        // it would hide an id that the parser sees.
        if (attribute.name.startsWith('\0'))
            attribute.name = attribute.name.sliced(1);
        qsizetype look = m_pos;
        while (look < size && isHtmlSpace(m_markup[look]))
            ++look;
        if (look < size && m_markup[look] == '=') {
            m_pos = look + 1;
            while (m_pos < size && isHtmlSpace(m_markup[m_pos]))
                ++m_pos;
            if (m_pos < size && (m_markup[m_pos] == '"' || m_markup[m_pos] == '\'')) {
                const char quote = m_markup[m_pos];
                const qsizetype valueBegin = m_pos + 1;
                const qsizetype close = m_markup.indexOf(quote, valueBegin);
                const qsizetype valueEnd = close < 0 ? size : close;
                attribute.value = m_markup.sliced(valueBegin, valueEnd - valueBegin);
                m_pos = close < 0 ? size : close + 1;
            } else {
                const qsizetype valueBegin = m_pos;
                while (m_pos < size && !isHtmlSpace(m_markup[m_pos]) && m_markup[m_pos] != '>')
                    ++m_pos;
                attribute.value = m_markup.sliced(valueBegin, m_pos - valueBegin);
            }
        } else {
            m_pos = look;
        }
        tag.attributes.push_back(attribute);
    }
    return false;
}

std::optional<HtmlTag> HtmlScanner::next()
{
    const qsizetype size = m_markup.size();
    while (m_pos < size) {
        const qsizetype open = m_markup.indexOf('<', m_pos);
        if (open < 0 || open + 1 >= size) {
            m_pos = size;
            return std::nullopt;
        }
        const char after = m_markup[open + 1];
        if (after == '!') {
            m_pos = open + 2;
            if (m_markup.sliced(m_pos).startsWith(QByteArrayView("--"))) {
                m_pos += 2;
                skipComment();
            } else {
                skipTo('>'); // doctype, CDATA outside foreign content, bogus comment
            }
            continue;
        }
        if (after == '?') {
            m_pos = open + 2;
            skipTo('>');
            continue;
        }
        const bool endTag = after == '/';
        const qsizetype nameBegin = open + (endTag ? 2 : 1);
        if (nameBegin >= size) {
            m_pos = size;
            return std::nullopt;
        }
        if (!isAsciiLetter(m_markup[nameBegin])) {
            if (endTag) {
                // "</>" is dropped, anything else after "</" is a bogus comment.
                m_pos = nameBegin;
                skipTo('>');
            } else {
                m_pos = open + 1; // a '<' that is just text
            }
            continue;
        }
        m_pos = nameBegin;
        while (m_pos < size && !isHtmlSpace(m_markup[m_pos]) && m_markup[m_pos] != '/' &&
               m_markup[m_pos] != '>')
            ++m_pos;
        HtmlTag tag;
        tag.kind = endTag ? HtmlTag::Kind::End : HtmlTag::Kind::Start;
        tag.name = m_markup.sliced(nameBegin, m_pos - nameBegin);
        tag.begin = open;
        if (!readAttributes(tag))
            return std::nullopt; // a tag cut off by the end of the markup is no tag
        tag.end = m_pos;
        if (!endTag && isRawTextElement(tag.name))
            skipRawText(tag.name);
        else if (!endTag && equalsAsciiNoCase(tag.name, QByteArrayView("plaintext")))
            m_pos = size; // the rest of the page is text
        return tag;
    }
    return std::nullopt;
}

ElementSliceResult findElementById(QByteArrayView markup, QByteArrayView id, qsizetype maxTags)
{
    HtmlScanner scanner(markup);
    std::optional<HtmlTag> tag;
    while ((tag = scanner.next())) {
        if (tag->kind == HtmlTag::Kind::Start && tag->attribute(QByteArrayView("id")) == id)
            break;
    }
    if (!tag)
        return {};

    ElementSlice slice;
    slice.begin = tag->begin;
    slice.tagName = tag->name;
    if (isVoidElement(tag->name)) {
        slice.end = tag->end;
        return {slice, {}};
    }
    // Tags from its start tag to its end, both included.
    qsizetype tagCount = 1;
    qsizetype depth = 1;
    while (const std::optional<HtmlTag> inner = scanner.next()) {
        if (++tagCount > maxTags)
            return {std::nullopt, SliceError::TooManyTags};
        if (!equalsAsciiNoCase(inner->name, slice.tagName))
            continue;
        depth += inner->kind == HtmlTag::Kind::Start ? 1 : -1;
        if (depth == 0) {
            slice.end = inner->end;
            return {slice, {}};
        }
    }
    slice.end = markup.size();
    return {slice, {}};
}

} // namespace kelo
