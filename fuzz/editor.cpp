// The editor's offsets and line queries against a plain reading of its text,
// over random texts and random edits: selections set by offset, replaced
// selections, typing and deletions at any character boundary (inside a CR LF
// pair too), undo and redo by call, key and Scintilla's own message, whole-
// text replacement (also by a text much like the old one), a change handed
// over as edits (the editor's own undo step), loading, and the idle moments
// in which the editor builds its indexes. Now and then the memory for a
// whole-text change, or for the undo or redo of one of the editor's own
// steps, cannot be had: the change is refused and nothing moves, in the
// editor's undo history neither, so that an undo or redo tried again is the
// same one. After each step the text must be the model's, and the editor
// must keep exactly the undo steps of its own that can still be reached;
// now and then every offset and every line is asked for:
//  - an offset counts UTF-16 code units (a character beyond the Basic
//    Multilingual Plane two, CR LF two), one inside a surrogate pair or a
//    CR LF pair means the pair's start;
//  - a line is a CR LF line only; a lone CR or LF stays inside its line.
#include "editsapplied.h"
#include "fuzzcheck.h"

#include "platform/textbox.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <vector>

using namespace kelo;
using kelo::fuzz::literal;
using Sci = QsciScintillaBase;

namespace {

// The model: the text as the editor should hold it, in UTF-8.
struct Model {
    QByteArray text;
    std::vector<long> starts; // byte position of every character, then the end
    std::vector<int> units;   // UTF-16 offset of each of them

    void update()
    {
        starts.clear();
        units.clear();
        int offset = 0;
        for (long at = 0; at < text.size();) {
            const auto lead = static_cast<unsigned char>(text[at]);
            const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            starts.push_back(at);
            units.push_back(offset);
            offset += length == 4 ? 2 : 1;
            at += length;
        }
        starts.push_back(text.size());
        units.push_back(offset);
    }

    int length() const { return units.back(); }

    int offsetOf(long position) const
    {
        const auto at = std::lower_bound(starts.begin(), starts.end(), position);
        return units[std::size_t(at - starts.begin())];
    }

    // The byte position of an offset, moved to the start of a pair it splits.
    long positionOf(int offset) const
    {
        offset = std::clamp(offset, 0, length());
        const auto at = std::upper_bound(units.begin(), units.end(), offset) - 1;
        long position = starts[std::size_t(at - units.begin())];
        if (position > 0 && position < text.size() && text[position - 1] == '\r' &&
            text[position] == '\n')
            --position;
        return position;
    }

    // Offsets at which CR LF lines start.
    std::vector<int> lineStarts() const
    {
        std::vector<int> lines{0};
        for (long i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '\r' && text[i + 1] == '\n')
                lines.push_back(offsetOf(i + 2));
        }
        return lines;
    }
};

// Whether the editor is told that the memory for a change cannot be had.
bool roomLacking = false;

TextBox &editor()
{
    static TextBox *box = [] {
        auto *made = new TextBox; // lives as long as the application
        made->setRoomCheck([](std::initializer_list<qsizetype>) { return !roomLacking; });
        return made;
    }();
    return *box;
}

// Text as it reaches the editor: well-formed UTF-8.
QByteArray textFrom(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8();
}

void checkText(const TextBox &box, const Model &model, const std::string &steps)
{
    FUZZ_CHECK(box.utf8Text() == model.text, "editor holds " + literal(box.utf8Text()) +
                                                 "\nmodel " + literal(model.text) + "\n" + steps);
    FUZZ_CHECK(box.textLength() == model.length(),
               std::to_string(box.textLength()) + " units, expected " +
                   std::to_string(model.length()) + " in " + literal(model.text) + "\n" + steps);
}

void checkEverything(const TextBox &box, const Model &model, const std::string &steps)
{
    const std::string context = "text " + literal(model.text) + "\n" + steps;
    const std::vector<int> lines = model.lineStarts();
    FUZZ_CHECK(box.crlfLineCount() == int(lines.size()),
               std::to_string(box.crlfLineCount()) + " lines\n" + context);
    for (std::size_t line = 0; line <= lines.size(); ++line) {
        const int expected = line < lines.size() ? lines[line] : -1;
        FUZZ_CHECK(box.lineIndex(int(line)) == expected,
                   "line " + std::to_string(line) + " starts at " +
                       std::to_string(box.lineIndex(int(line))) + ", expected " +
                       std::to_string(expected) + "\n" + context);
    }
    for (int offset = 0; offset <= model.length() + 1; ++offset) {
        const int expected =
            int(std::upper_bound(lines.begin(), lines.end(), offset) - lines.begin()) - 1;
        FUZZ_CHECK(box.lineFromChar(offset) == expected,
                   "offset " + std::to_string(offset) + " in line " +
                       std::to_string(box.lineFromChar(offset)) + ", expected " +
                       std::to_string(expected) + "\n" + context);
        FUZZ_CHECK(box.utf16ToPosition(offset) == model.positionOf(offset),
                   "offset " + std::to_string(offset) + " at byte " +
                       std::to_string(box.utf16ToPosition(offset)) + ", expected " +
                       std::to_string(model.positionOf(offset)) + "\n" + context);
    }
    for (std::size_t i = 0; i < model.starts.size(); ++i) {
        FUZZ_CHECK(box.positionToUtf16(model.starts[i]) == model.units[i],
                   "byte " + std::to_string(model.starts[i]) + " at offset " +
                       std::to_string(box.positionToUtf16(model.starts[i])) + ", expected " +
                       std::to_string(model.units[i]) + "\n" + context);
    }
}

// An undo step as the model keeps it: the text on its other side, and
// whether the editor keeps a step of its own for it.
struct Step {
    QByteArray text;
    bool own = false;
};

int ownSteps(const std::vector<Step> &steps)
{
    return int(std::count_if(steps.begin(), steps.end(), [](const Step &s) { return s.own; }));
}

// Undo or redo by one of the ways a user has: the call (the Edit menu),
// the key, or Scintilla's own message, after which the editor makes its
// own step once control is back in the event loop.
void undoOrRedo(TextBox &box, bool undo, int way)
{
    if (way == 0) {
        undo ? box.undo() : box.redo();
    } else if (way == 1) {
        QKeyEvent press(QEvent::KeyPress, undo ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
        QCoreApplication::sendEvent(&box, &press);
    } else {
        box.SendScintilla(undo ? Sci::SCI_UNDO : Sci::SCI_REDO);
        QCoreApplication::processEvents();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed, like the editor: libFuzzer ends the process with
    // exit(), and an application torn down under a live editor crashes.
    static QApplication *application = new QApplication(*argc, *argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    TextBox &box = editor();
    Model model;
    // A piece of text, repeated: few edits in a long text are made one by
    // one, many in a short one by putting in the whole text.
    model.text = textFrom(fuzz::takeBytes(input, 200));
    model.text = model.text.repeated(input.ConsumeIntegralInRange(1, 24));
    model.update();
    roomLacking = false;
    box.loadUtf8(model.text);
    std::vector<Step> history; // the texts before each undo step
    std::vector<Step> redone;  // the texts after each step undone
    std::string steps = "loaded";

    for (int step = 0; step < 40 && input.remaining_bytes() > 0; ++step) {
        const QByteArray before = model.text;
        const std::size_t undoSteps = history.size();
        const int action = input.ConsumeIntegralInRange(0, 9);
        roomLacking = input.ConsumeIntegralInRange(0, 7) == 7;
        if (roomLacking)
            steps += "\n(no memory to spare)";
        switch (action) {
        case 0:
        case 1: { // a selection set by offsets and replaced
            const int start = input.ConsumeIntegralInRange(-1, model.length() + 2);
            const int length = input.ConsumeIntegralInRange(-1, 6);
            const QString piece = QString::fromUtf8(fuzz::takeBytes(input, 8));
            box.setSelStart(start);
            box.setSelLength(length);
            const long from = model.positionOf(std::max(start, 0));
            const long to = model.positionOf(model.offsetOf(from) + std::max(length, 0));
            steps += "\nselect " + std::to_string(start) + " +" + std::to_string(length) +
                     ", type " + literal(piece);
            FUZZ_CHECK(box.SelStart() == model.offsetOf(from) &&
                           box.SelLength() == model.offsetOf(to) - model.offsetOf(from),
                       "selection " + std::to_string(box.SelStart()) + " +" +
                           std::to_string(box.SelLength()) + " in " + literal(model.text) + "\n" +
                           steps);
            FUZZ_CHECK(box.SelText().toUtf8() == model.text.mid(from, to - from), steps);
            box.setSelText(piece);
            model.text = model.text.left(from) + piece.toUtf8() + model.text.mid(to);
            model.update();
            FUZZ_CHECK(box.SelStart() == model.offsetOf(from + piece.toUtf8().size()), steps);
            if (to > from || !piece.isEmpty())
                history.push_back({before});
            break;
        }
        case 2: { // typing where the caret can go
            const auto at = input.ConsumeIntegralInRange<std::size_t>(0, model.starts.size() - 1);
            const QByteArray typed = textFrom(fuzz::takeBytes(input, 8));
            box.SendScintilla(Sci::SCI_GOTOPOS, static_cast<unsigned long>(model.starts[at]));
            const long caret = box.SendScintilla(Sci::SCI_GETCURRENTPOS);
            steps += "\ntype " + literal(typed) + " at byte " + std::to_string(caret);
            if (typed.isEmpty())
                break;
            box.SendScintilla(Sci::SCI_BEGINUNDOACTION);
            box.SendScintilla(Sci::SCI_ADDTEXT, static_cast<unsigned long>(typed.size()),
                              typed.constData());
            box.SendScintilla(Sci::SCI_ENDUNDOACTION);
            model.text.insert(caret, typed);
            model.update();
            history.push_back({before});
            break;
        }
        case 3: { // deleting from one character boundary to another
            const auto from = input.ConsumeIntegralInRange<std::size_t>(0, model.starts.size() - 1);
            const auto to = std::min(from + input.ConsumeIntegralInRange<std::size_t>(1, 4),
                                     model.starts.size() - 1);
            const long begin = model.starts[from];
            const long end = model.starts[to];
            steps += "\ndelete bytes " + std::to_string(begin) + " to " + std::to_string(end);
            if (end == begin)
                break;
            box.SendScintilla(Sci::SCI_BEGINUNDOACTION);
            box.SendScintilla(Sci::SCI_DELETERANGE, static_cast<unsigned long>(begin), end - begin);
            box.SendScintilla(Sci::SCI_ENDUNDOACTION);
            model.text.remove(begin, end - begin);
            model.update();
            history.push_back({before});
            break;
        }
        case 4:   // undo
        case 8: { // redo, the same the other way
            const bool undo = action == 4;
            const int way = input.ConsumeIntegralInRange(0, 2);
            steps += std::string(undo ? "\nundo" : "\nredo") + " by way " + std::to_string(way);
            std::vector<Step> &from = undo ? history : redone;
            std::vector<Step> &to = undo ? redone : history;
            if (from.empty())
                break;
            undoOrRedo(box, undo, way);
            if (roomLacking && from.back().own) {
                // Refused and taken back: the text is as it was, and once
                // there is memory again the same step is the next one.
                checkText(box, model, steps);
                steps += ", refused, then again";
                roomLacking = false;
                undoOrRedo(box, undo, way);
            }
            to.push_back({model.text, from.back().own});
            model.text = from.back().text;
            model.update();
            from.pop_back();
            break;
        }
        case 9: { // a change handed over as edits at character boundaries
            TextEdits edits;
            std::size_t next = 0; // the first character an edit may start at
            const int count = input.ConsumeIntegralInRange(0, 4);
            for (int i = 0; i < count && next < model.starts.size(); ++i) {
                const std::size_t from =
                    input.ConsumeIntegralInRange<std::size_t>(next, model.starts.size() - 1);
                const std::size_t to = std::min(
                    from + input.ConsumeIntegralInRange<std::size_t>(0, 3), model.starts.size() - 1);
                const QByteArray inserted = textFrom(fuzz::takeBytes(input, 6));
                edits.add(model.starts[from], model.starts[to] - model.starts[from], inserted);
                next = to + 1;
            }
            steps += "\nedits:";
            for (qsizetype i = 0; i < edits.size(); ++i)
                steps += " " + std::to_string(edits[i].at) + " -" + std::to_string(edits[i].removed) +
                         " +" + literal(edits[i].inserted);
            const std::optional<QByteArray> after = fuzz::editsApplied(model.text, edits);
            FUZZ_CHECK(after.has_value(), steps);
            const int kept = box.editsStepsKept();
            const bool empty = edits.isEmpty();
            if (!box.replaceAllUtf8(std::move(edits))) {
                FUZZ_CHECK(roomLacking, "edits refused with memory to spare\n" + steps);
                break;
            }
            if (!empty) // the redo steps are dropped, and maybe a step of the editor's own added
                history.push_back({before, box.editsStepsKept() > kept - ownSteps(redone)});
            model.text = *after;
            model.update();
            break;
        }
        case 5: { // the whole text replaced (by a new one or one much like it), or a file loaded
            const bool load = input.ConsumeBool();
            QByteArray text = textFrom(fuzz::takeBytes(input, 64));
            if (!load && input.ConsumeBool()) {
                const std::size_t last = model.starts.size() - 1;
                const std::size_t from = input.ConsumeIntegralInRange<std::size_t>(0, last);
                const std::size_t to = input.ConsumeIntegralInRange<std::size_t>(from, last);
                text = model.text.left(model.starts[from]) + textFrom(text.left(4)) +
                       model.text.sliced(model.starts[to]);
            }
            steps += std::string(load ? "\nload " : "\nreplace all with ") + literal(text);
            if (load) {
                if (!box.loadUtf8(text)) {
                    FUZZ_CHECK(roomLacking, "load refused with memory to spare\n" + steps);
                    break;
                }
                history.clear();
                redone.clear();
            } else {
                const int kept = box.editsStepsKept();
                if (!box.replaceAllUtf8(text)) {
                    FUZZ_CHECK(roomLacking, "text refused with memory to spare\n" + steps);
                    break;
                }
                if (!text.isEmpty() || !model.text.isEmpty())
                    history.push_back({before, box.editsStepsKept() > kept - ownSteps(redone)});
            }
            model.text = text;
            model.update();
            break;
        }
        case 6: // an idle moment: the editor builds its indexes
            steps += "\nidle";
            QCoreApplication::processEvents();
            break;
        case 7:
            steps += "\nask everything";
            checkEverything(box, model, steps);
            break;
        }
        // Any new step drops what could be redone.
        if (action != 8 && history.size() > undoSteps)
            redone.clear();
        checkText(box, model, steps);
        FUZZ_CHECK(box.editsStepsKept() == ownSteps(history) + ownSteps(redone),
                   "the editor keeps " + std::to_string(box.editsStepsKept()) +
                       " steps of its own, expected " +
                       std::to_string(ownSteps(history) + ownSteps(redone)) + "\n" + steps);
    }
    roomLacking = false;
    checkEverything(box, model, steps);
    QCoreApplication::processEvents();
    return 0;
}
