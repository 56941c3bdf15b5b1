// The passage of an editor text through the temporary file, without any
// window: the text goes out to the file, the file may be rewritten in place
// through its working copy, and the new text is built from the file's lines.
// The clean-up ("Leerzeilen") and the emptying of lines ("ganze Zeile
// löschen") are such passages.
#pragma once

#include "platform/textedits.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

namespace kelo {

class TemporaryTextFile;
class WorkMeter;

// A rule on the bytes of the file (UTF-8), giving new bytes: see linerules.h.
// The file goes through it in blocks of whole lines, one after the other, so
// it must work line by line, as every rule there does: its result on the
// whole file is its results on the blocks, one after the other.
using LineRule = std::function<QByteArray(QByteArrayView fileBytes)>;

struct TextPassage {
    // What the file is rewritten to, in place through its working copy,
    // before it is read back; none to read it back as written.
    LineRule rewrite;
    // What the new text is made of the bytes read back.
    LineRule rebuild;
};

enum class PassageStep { None, Write, Rewrite, Read, Remove };

struct PassageResult {
    // When every step worked: the edits that make the new text of the text
    // passed in (see textchanges.h).
    std::optional<TextEdits> edits;
    // The step that failed (None when the text is there), and why, in
    // German, naming the file. From the rewrite on, the text had reached
    // the file.
    PassageStep failedStep = PassageStep::None;
    QString error;
    // Stopped through the meter: no text, no error, no file left.
    bool cancelled = false;
};

// Passes the UTF-8 text through a temporary file of its own in the folder
// temporaryFolder() picks for the program's folder. Whatever fails, no
// temporary file is left behind. The meter, if any, is told of every step,
// each as long as the text: passageParts() of them, told block by block; it
// may stop the passage within any of them but the rewrite of the file.
PassageResult passThroughTemporaryFile(const QString &programFolder, QByteArrayView utf8,
                                       const TextPassage &passage, WorkMeter *meter = nullptr);
int passageParts(const TextPassage &passage);

// Rewrites a file this run holds in place, to what the rule makes of its
// bytes, through a working copy "Temp_" + its name beside it (a copy of its
// own when another run holds that name). Nothing when it worked, else why
// not. The copy is deleted either way, unless the file was not this run's
// own and its rewrite failed half-way: then the copy is all that is left of
// it and stays.
// With a meter, told of its five steps, it stops before the file is
// written when the meter is stopped (no error then, the file unchanged); a
// stop while the file is written comes into effect once it is whole.
std::optional<QString> rewriteThroughCopy(TemporaryTextFile &file, const LineRule &rule,
                                          WorkMeter *meter = nullptr);

} // namespace kelo
