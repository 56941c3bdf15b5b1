#include "tools/linerules.h"

#include "tools/tempfile.h"

#include <cstring>

namespace kelo {

// The tools work on whole files of tens of megabytes, so each rule is one
// pass over the bytes into a buffer made big enough beforehand (every line
// break may become CR LF, and a last line without one gets it), with the
// fast library searches for CR and for the text.
namespace {

class Output {
public:
    explicit Output(qsizetype inputSize)
    {
        m_bytes.resize(2 * inputSize + 2);
        m_at = m_bytes.data();
    }

    // Whole lines, each with its line break made CR LF.
    void appendLines(const char *from, const char *end)
    {
        forEachFileLine(QByteArrayView(from, end), [this](QByteArrayView line) {
            std::memcpy(m_at, line.data(), size_t(line.size()));
            m_at += line.size();
            appendBreak();
        });
    }

    void appendBreak()
    {
        *m_at++ = '\r';
        *m_at++ = '\n';
    }
    void put(char c) { *m_at++ = c; }

    char *at() const { return m_at; }
    void rewind(char *to) { m_at = to; }

    QByteArray take()
    {
        m_bytes.truncate(m_at - m_bytes.constData());
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    char *m_at = nullptr;
};

// Where the line that holds a position ends: its CR, or the end.
const char *lineEndAfter(const char *at, const char *end)
{
    const auto *cr = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
    return cr ? cr : end;
}

// The start of the next line after a line's end.
const char *nextLine(const char *lineEnd, const char *end)
{
    if (lineEnd == end)
        return end;
    ++lineEnd;
    return lineEnd < end && *lineEnd == '\n' ? lineEnd + 1 : lineEnd;
}

} // namespace

QByteArray cleanLines(QByteArrayView fileBytes)
{
    Output out(fileBytes.size());
    const char *at = fileBytes.data();
    const char *const end = at + fileBytes.size();
    while (at < end) {
        char *const lineStart = out.at();
        bool afterSpace = false;
        bool anythingElse = false;
        for (; at < end && *at != '\r'; ++at) {
            if (*at == ' ') {
                if (!afterSpace)
                    out.put(' ');
                afterSpace = true;
            } else {
                out.put(*at);
                afterSpace = false;
                anythingElse = true;
            }
        }
        if (anythingElse)
            out.appendBreak();
        else
            out.rewind(lineStart);
        at = nextLine(at, end);
    }
    return out.take();
}

QByteArray emptyLinesContaining(QByteArrayView fileBytes, QByteArrayView text)
{
    // A line never holds a CR, so no line can contain such a text.
    if (text.contains('\r'))
        return joinFileLines(fileBytes);
    Output out(fileBytes.size());
    const char *const begin = fileBytes.data();
    const char *const end = begin + fileBytes.size();
    const char *done = begin; // everything before is written
    if (text.isEmpty()) {
        forEachFileLine(fileBytes, [&out](QByteArrayView) { out.appendBreak(); });
        return out.take();
    }

    const char *searchFrom = begin;
    while (searchFrom < end) {
        const auto *found = static_cast<const char *>(
            memmem(searchFrom, size_t(end - searchFrom), text.data(), size_t(text.size())));
        if (!found)
            break;
        // The LF of a CR LF belongs to no line.
        if (*found == '\n' && found > begin && found[-1] == '\r') {
            searchFrom = found + 1;
            continue;
        }
        // Back to the CR before the line (an LF after it is the rest of its
        // line break, which the copy of the lines before makes CR LF anyway).
        const char *lineStart = found;
        while (lineStart > done && lineStart[-1] != '\r')
            --lineStart;
        out.appendLines(done, lineStart);
        out.appendBreak(); // the line, emptied
        done = nextLine(lineEndAfter(found + text.size(), end), end);
        searchFrom = done;
    }
    out.appendLines(done, end);
    return out.take();
}

QByteArray joinFileLines(QByteArrayView fileBytes)
{
    Output out(fileBytes.size());
    out.appendLines(fileBytes.data(), fileBytes.data() + fileBytes.size());
    return out.take();
}

} // namespace kelo
