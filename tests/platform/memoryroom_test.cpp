// Tests of how the editor refuses a change whose memory cannot be had, and
// of big blocks going into huge pages.
#include "platform/hugepages.h"
#include "platform/memoryroom.h"
#include "platform/textbox.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace kelo {
namespace {

TEST(MemoryRoom, AllBlocksMustBeHadAtOnce)
{
    EXPECT_TRUE(memoryRoomFor({}));
    EXPECT_TRUE(memoryRoomFor({0, 1, 64 * 1024 * 1024}));
    // More than any machine has, beside blocks that were given.
    const qsizetype tooMuch = std::numeric_limits<qsizetype>::max() / 2;
    EXPECT_FALSE(memoryRoomFor({4096, tooMuch, 4096}));
    EXPECT_FALSE(memoryRoomFor({4096, -1}));
}

// A room check that refuses every block from `limit` bytes on, and keeps
// the biggest block it was asked for.
struct Limit {
    qsizetype limit = std::numeric_limits<qsizetype>::max();
    qsizetype biggest = 0;

    TextBox::RoomCheck check()
    {
        return [this](std::initializer_list<qsizetype> blocks) {
            bool room = true;
            for (const qsizetype block : blocks) {
                biggest = std::max(biggest, block);
                room = room && block < limit;
            }
            return room;
        };
    }
};

QByteArray lines(int count, const char *line)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += line;
    return text;
}

// Every whole-text change, with too little memory for it, leaves the text,
// its undo history and its modified state as they were, and says so.
TEST(MemoryRoom, ARefusedChangeLeavesTextUndoAndModifiedStateAlone)
{
    const char *line = "Hallo Welt, hier kommt eine Zeile, die lang genug ist, um zu zählen.\r\n";
    const QByteArray loaded = lines(300, line); // 22 kB
    TextBox box;
    Limit memory;
    box.setRoomCheck(memory.check());
    box.loadUtf8(loaded);
    box.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 1UL, "X");
    const QByteArray typed = "X" + loaded;

    TextEdits few; // edit by edit, and the text gets shorter
    few.add(1, 5, "Moin");
    TextEdits many; // the whole new text
    for (qsizetype at = loaded.indexOf("Welt"); at >= 0; at = loaded.indexOf("Welt", at + 1))
        many.add(at + 1, 4, "Erdball");
    memory.limit = 16 * 1024; // below the text's own size
    QSignalSpy changed(&box, &QsciScintilla::textChanged);
    EXPECT_FALSE(box.replaceAllUtf8(lines(300, "Hello world, here is a line.\r\n")));
    EXPECT_FALSE(box.replaceAllUtf8(typed + "Y")); // one edit, but its undo copy
    EXPECT_FALSE(box.replaceAllUtf8(std::move(many)));
    EXPECT_FALSE(box.loadUtf8(lines(3000, "neu\r\n")));
    box.setText(QString::fromUtf8(lines(3000, "neu\r\n")));
    EXPECT_EQ(box.utf8View(), typed);
    EXPECT_EQ(box.crlfLineCount(), 301);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(box.editsStepsKept(), 0);
    EXPECT_TRUE(box.isModified());
    // A small change still fits; the history below it is the one from before.
    EXPECT_TRUE(box.replaceAllUtf8(std::move(few)));
    EXPECT_TRUE(box.utf8View().startsWith("XMoin Welt,"));
    memory.limit = std::numeric_limits<qsizetype>::max();
    box.undo();
    box.undo();
    EXPECT_EQ(box.utf8View(), loaded);
    EXPECT_FALSE(box.isModified());
    // The check is asked for the whole new buffer, not only for the edits.
    memory = Limit{};
    box.replaceAllUtf8(loaded + loaded);
    EXPECT_GE(memory.biggest, 2 * loaded.size());
}

// An undo or redo of the editor's own step without room for it is taken
// back in Scintilla too: the next one, with room, is the same step again.
TEST(MemoryRoom, ARefusedUndoOrRedoIsTheNextOneAgain)
{
    const QByteArray loaded =
        lines(300, "Hallo Welt, hier kommt eine Zeile, die lang genug ist.\r\n");
    TextEdits edits; // few for the text's length: a step of the editor's own
    for (qsizetype at = loaded.indexOf("Welt"); at >= 0; at = loaded.indexOf("Welt", at + 1))
        edits.add(at, 4, "Erde");
    const QByteArray replaced =
        lines(300, "Hallo Erde, hier kommt eine Zeile, die lang genug ist.\r\n");
    TextBox box;
    Limit memory;
    box.setRoomCheck(memory.check());
    box.loadUtf8(loaded);
    ASSERT_TRUE(box.replaceAllUtf8(std::move(edits)));
    ASSERT_EQ(box.utf8View(), replaced);
    ASSERT_EQ(box.editsStepsKept(), 1);
    QSignalSpy refused(&box, &TextBox::stepRefused);

    memory.limit = 16 * 1024;
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.utf8View(), replaced);
    ASSERT_EQ(refused.count(), 1);
    EXPECT_TRUE(refused.at(0).at(0).toBool());
    EXPECT_TRUE(box.isModified());
    memory.limit = std::numeric_limits<qsizetype>::max();
    box.undo();
    EXPECT_EQ(box.utf8View(), loaded);
    EXPECT_FALSE(box.isModified());

    memory.limit = 16 * 1024;
    box.redo();
    EXPECT_EQ(box.utf8View(), loaded);
    ASSERT_EQ(refused.count(), 2);
    EXPECT_FALSE(refused.at(1).at(0).toBool());
    memory.limit = std::numeric_limits<qsizetype>::max();
    box.redo();
    EXPECT_EQ(box.utf8View(), replaced);
    box.undo();
    EXPECT_EQ(box.utf8View(), loaded);
    EXPECT_FALSE(box.isUndoAvailable());
}

// A loaded text with very long lines that finds no room for the document
// with styles stays whole in the one without.
TEST(MemoryRoom, ALongLineLoadedWithoutRoomForStylesIsWhole)
{
    const QByteArray text = QByteArray(100 * 1024, 'a') + "\r\nkurz";
    TextBox box;
    Limit memory{.limit = 64 * 1024 + text.size()};
    box.setRoomCheck(memory.check());
    ASSERT_TRUE(box.beginLoad(text.size()));
    ASSERT_TRUE(box.appendLoad(text));
    box.finishLoad();
    EXPECT_EQ(box.utf8View(), text);
    EXPECT_EQ(box.crlfLineCount(), 2);
    EXPECT_FALSE(box.isModified());
    EXPECT_GE(memory.biggest, memory.limit);
}

// Whether the mapping that holds `address` is advised for huge pages ("hg"
// among its flags in /proc/self/smaps); nothing when no mapping holds it.
std::optional<bool> advisedHuge(const void *address)
{
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype dash = line.indexOf('-');
        const qsizetype space = line.indexOf(' ');
        if (dash > 0 && space > dash && !line.startsWith("VmFlags")) {
            bool fromOk = false;
            bool toOk = false;
            const auto from = line.left(dash).toULongLong(&fromOk, 16);
            const auto to = line.mid(dash + 1, space - dash - 1).toULongLong(&toOk, 16);
            if (fromOk && toOk) {
                inside = from <= at && at < to;
                continue;
            }
        }
        if (inside && line.startsWith("VmFlags:"))
            return line.split(' ').contains("hg");
    }
    return std::nullopt;
}

// The editor's buffer for a big text is a block that Scintilla allocates
// itself; it gets huge pages as a big block of Kelo's own does, and a small
// block is left as it is.
TEST(HugePages, BigBlocksAndTheEditorsBufferAreAdvisedSmallOnesAreNot)
{
    if (!bigBlocksInHugePages)
        GTEST_SKIP() << "the sanitizers' operator new is in use";
    if (!QFileInfo::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage")))
        GTEST_SKIP() << "this kernel has no huge pages for programs";

    const auto small = std::make_unique_for_overwrite<char[]>(1 << 20);
    EXPECT_EQ(advisedHuge(small.get()), false);

    std::vector<char> big;
    big.reserve(bigHugeBlock);
    EXPECT_EQ(advisedHuge(big.data() + bigHugeBlock / 2), true);

    TextBox box;
    ASSERT_TRUE(box.loadUtf8(QByteArray("Eine Zeile Text.\r\n").repeated(3 << 20))); // 54 MiB
    EXPECT_EQ(advisedHuge(box.utf8View().data() + box.utf8View().size() / 2), true);
}

} // namespace
} // namespace kelo
