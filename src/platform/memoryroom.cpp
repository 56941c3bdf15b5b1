#include "platform/memoryroom.h"

#include <cstdlib>
#include <vector>

namespace kelo {

bool memoryRoomFor(std::initializer_list<qsizetype> blocks)
{
    std::vector<void *> taken;
    taken.reserve(blocks.size());
    bool all = true;
    for (const qsizetype bytes : blocks) {
        if (bytes < 0) {
            all = false;
            break;
        }
        void *block = std::malloc(size_t(bytes));
        if (!block && bytes > 0) {
            all = false;
            break;
        }
        taken.push_back(block);
    }
    for (void *block : taken)
        std::free(block);
    return all;
}

QString noRoomForNewText()
{
    return QStringLiteral("Für den neuen Text ist nicht genug Arbeitsspeicher frei.");
}

} // namespace kelo
