// The one place that decides whether the main window may close: every party
// that can object (a running translation, an unsaved text) is asked in
// turn, and the first that objects keeps the window open. Whatever closes
// the window (the title bar, the console's exit words, EXIT, the end of the
// desktop session) comes through here. Open dialogs do not object: the
// window closes them as it unloads, and each keeps its fields as it closes.
#pragma once

#include <functional>
#include <vector>

namespace kelo {

class ClosingPath {
public:
    // A party answers whether the window may close; it may ask the user, or
    // stop work of its own, and say no.
    using Party = std::function<bool()>;

    void addParty(Party party) { m_parties.push_back(std::move(party)); }

    // Asks the parties in the order they were added; stops at the first no.
    bool mayClose() const
    {
        for (const Party &party : m_parties) {
            if (!party())
                return false;
        }
        return true;
    }

private:
    std::vector<Party> m_parties;
};

} // namespace kelo
