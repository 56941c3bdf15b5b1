// The text that edits for the editor make of the text before them, as the
// editor would make it, or nullopt when they are out of order or reach past
// the text (the editor would then corrupt the text or fail).
#pragma once

#include "platform/textedits.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace kelo::fuzz {

inline std::optional<QByteArray> editsApplied(QByteArrayView before, const TextEdits &edits)
{
    QByteArray out;
    qsizetype at = 0;
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const TextEdits::Edit edit = edits[i];
        if (edit.at < at || edit.removed < 0 || edit.at + edit.removed > before.size())
            return std::nullopt;
        out += before.sliced(at, edit.at - at);
        out += edit.inserted;
        at = edit.at + edit.removed;
    }
    out += before.sliced(at);
    return out;
}

} // namespace kelo::fuzz
