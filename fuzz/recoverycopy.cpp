// A recovery copy's file as a crash or a full disk may leave it: anything at
// all. Reading it never crashes, and a copy it refuses comes with a reason.
// A copy it reads is what its header says, and written again it reads back
// the same. Every copy Kelo can write, whatever its file's name (bytes that
// are not UTF-8, spaces, line breaks), form, identity and text, reads back
// exactly as it was.
#include "fuzzcheck.h"

#include "files/recoverycopy.h"
#include "platform/filenames.h"

using namespace kelo;
using kelo::fuzz::literal;

namespace {

std::string shown(const RecoveryCopy &copy)
{
    return "path " + literal(encodeFileName(copy.path)) + ", encoding " +
           std::to_string(int(copy.format.encoding)) + ", mark " +
           std::to_string(copy.format.byteOrderMark) + ", unix " +
           std::to_string(copy.format.unixLineEnds) + ", break " +
           std::to_string(int(copy.format.finalBreak)) + ", file " +
           std::to_string(copy.identity.exists) + " " + std::to_string(copy.identity.device) +
           " " + std::to_string(copy.identity.inode) + " " +
           std::to_string(copy.identity.size) + " " + std::to_string(copy.identity.modifiedNs) +
           ", written " + copy.written.toString(Qt::ISODateWithMs).toStdString() + ", text " +
           literal(copy.text);
}

bool same(const RecoveryCopy &a, const RecoveryCopy &b)
{
    return a.text == b.text && encodeFileName(a.path) == encodeFileName(b.path) &&
           a.format == b.format && a.identity == b.identity && a.written == b.written;
}

QByteArray fileOf(const RecoveryCopy &copy)
{
    return recoveryHeader(copy) + copy.text;
}

void readBackSame(const RecoveryCopy &copy, const std::string &context)
{
    QString reason;
    const std::optional<RecoveryCopy> back = parseRecoveryCopy(fileOf(copy), &reason);
    FUZZ_CHECK(back.has_value(), context + "\nrefused: " + reason.toStdString());
    FUZZ_CHECK(same(*back, copy), context + "\nread back: " + shown(*back));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        const QByteArray bytes = fuzz::takeRest(input);
        QString reason;
        const std::optional<RecoveryCopy> copy = parseRecoveryCopy(bytes, &reason);
        if (!copy) {
            FUZZ_CHECK(!reason.isEmpty(), "no reason for " + literal(bytes));
            return 0;
        }
        const qsizetype end = bytes.indexOf("\n\n");
        FUZZ_CHECK(end >= 0 && copy->text == bytes.sliced(end + 2), "text of " + literal(bytes));
        readBackSame(*copy, "file " + literal(bytes) + "\nread: " + shown(*copy));
        return 0;
    }

    RecoveryCopy copy;
    // The current file's name is absolute; a new text has none.
    const QByteArray name = fuzz::takeBytes(input, 40);
    if (!name.isEmpty())
        copy.path = decodeFileName(QByteArray('/' + name));
    copy.format.encoding = input.ConsumeBool() ? Encoding::Windows1252 : Encoding::Utf8;
    copy.format.byteOrderMark = input.ConsumeBool();
    copy.format.unixLineEnds = input.ConsumeBool();
    copy.format.finalBreak = FinalBreak(input.ConsumeIntegralInRange<int>(0, 4));
    if (input.ConsumeBool()) {
        copy.identity.exists = true;
        copy.identity.device = input.ConsumeIntegral<quint64>();
        copy.identity.inode = input.ConsumeIntegral<quint64>();
        copy.identity.size = input.ConsumeIntegral<qint64>();
        copy.identity.modifiedNs = input.ConsumeIntegral<qint64>();
    }
    // From 1970 to the year 9999, to the millisecond.
    copy.written = QDateTime::fromMSecsSinceEpoch(
        input.ConsumeIntegralInRange<qint64>(0, 253402300799999), Qt::UTC);
    copy.text = fuzz::takeRest(input);
    readBackSame(copy, shown(copy));
    return 0;
}
