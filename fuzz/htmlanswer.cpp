// The translation page's answer as it comes from a server Kelo does not
// control: the tag scan, the cutting out of the "result_box" element and the
// reading of its text must neither crash nor hang, and must take time in
// proportion to the page (the fuzzer's time-out catches the rest: every
// eighth input is read repeated to a page of 64 KB).
//
// Checked besides: the scan moves forward through the page, tag by tag; the
// element that is cut out starts with a start tag carrying the id; when a
// full HTML parser finds the element in a small page, Kelo reads its text; and
// the text read from it has its white space collapsed to single blanks.
#include "fuzzcheck.h"

#include "services/htmlscan.h"
#include "services/translationanswer.h"

#include <gumbo.h>

#include <vector>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

// Whether a full parse of the page has an element with the id (outside
// template contents, which are not part of the document).
bool parserFindsId(const QByteArray &utf8, const char *id)
{
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput *output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    bool found = false;
    std::vector<const GumboNode *> stack{output->document};
    while (!stack.empty() && !found) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (node->type == GUMBO_NODE_DOCUMENT) {
            for (unsigned i = 0; i < node->v.document.children.length; ++i)
                stack.push_back(static_cast<const GumboNode *>(node->v.document.children.data[i]));
        } else if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboAttribute *attribute =
                gumbo_get_attribute(&node->v.element.attributes, "id");
            found = attribute && qstrcmp(attribute->value, id) == 0;
            for (unsigned i = 0; i < node->v.element.children.length; ++i)
                stack.push_back(static_cast<const GumboNode *>(node->v.element.children.data[i]));
        }
    }
    gumbo_destroy_output(&options, output);
    return found;
}

void checkScan(const QByteArray &page)
{
    HtmlScanner scanner(page);
    qsizetype previousEnd = 0;
    qsizetype tags = 0;
    while (const std::optional<HtmlTag> tag = scanner.next()) {
        FUZZ_CHECK(tag->begin >= previousEnd && tag->begin < tag->end && tag->end <= page.size(),
                   "tag " + std::to_string(tag->begin) + ".." + std::to_string(tag->end) +
                       " after " + std::to_string(previousEnd) + " in " + literal(page));
        FUZZ_CHECK(page[tag->begin] == '<' && page[tag->end - 1] == '>', literal(page));
        previousEnd = tag->end;
        ++tags;
    }
    FUZZ_CHECK(tags <= page.size() / 3, literal(page));
}

void checkSlice(const QByteArray &page, QByteArrayView id)
{
    const ElementSliceResult found = findElementById(page, id, maxResultTags);
    if (!found.slice)
        return;
    const ElementSlice &slice = *found.slice;
    FUZZ_CHECK(slice.begin >= 0 && slice.begin < slice.end && slice.end <= page.size(),
               literal(page));
    HtmlScanner again(QByteArrayView(page).sliced(slice.begin));
    const std::optional<HtmlTag> start = again.next();
    FUZZ_CHECK(start && start->begin == 0 && start->kind == HtmlTag::Kind::Start &&
                   start->attribute("id") == id && start->name == slice.tagName,
               "slice at " + std::to_string(slice.begin) + " of " + literal(page));
}

// One line of text: no ASCII white space but single blanks between words.
void checkCollapsed(const QString &text, const QByteArray &page)
{
    FUZZ_CHECK(!text.startsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char(' ')) &&
                   !text.contains(QLatin1String("  ")),
               literal(text) + " from " + literal(page));
    for (const QChar c : text) {
        FUZZ_CHECK(c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r') &&
                       c != QLatin1Char('\f'),
                   literal(text) + " from " + literal(page));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool repeated = input.ConsumeIntegralInRange(0, 7) == 7;
    const QByteArray contentType = fuzz::takeBytes(input, 40);
    QByteArray page = fuzz::takeRest(input);
    if (repeated && !page.isEmpty()) {
        const QByteArray unit = page;
        page.reserve(64 * 1024 + unit.size());
        while (page.size() < 64 * 1024)
            page += unit;
    }

    checkScan(page);
    checkSlice(page, "result_box");
    const AnswerReading reading = readTranslationAnswer(page, contentType);
    FUZZ_CHECK(reading.translation.has_value() != !reading.error.isEmpty(), literal(page));

    // The element a full parser sees is read, unless it holds too many tags
    // or the page has too many for the parser to read it whole. The page is
    // taken as UTF-8, as the reading does after decoding.
    if (!repeated && page.size() <= 4096) {
        const QString text = QString::fromUtf8(page);
        const QByteArray utf8 = text.toUtf8();
        const ResultBoxText box = resultBoxText(text);
        const ElementSliceResult slice = findElementById(utf8, "result_box", maxResultTags);
        if (parserFindsId(utf8, "result_box") && slice.error != SliceError::TooManyTags &&
            utf8.count('<') <= maxResultTags)
            FUZZ_CHECK(box.text.has_value(), "a parser finds result_box in " + literal(utf8));
        if (box.text)
            checkCollapsed(*box.text, utf8);
    }
    return 0;
}
