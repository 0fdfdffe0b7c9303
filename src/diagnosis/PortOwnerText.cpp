#include "diagnosis/PortOwner.h"

// The sentence about a port's holder, the same on every system; finding the
// holder is the system's part (PortOwner.cpp: /proc; PortOwner_win.cpp).

namespace {

std::string HolderText(const PortHolder& holder)
{
    return (holder.name.empty() ? std::string("a program") : holder.name) + " (pid " + std::to_string(holder.pid) + ")";
}

}  // namespace

std::string FormatPortInUse(std::uint16_t port, const PortOwnership& owner)
{
    std::string line = "UDP port " + std::to_string(port) + " is in use by ";
    const std::vector<PortHolder>& h = owner.holders;
    if (!h.empty()) {
        for (std::size_t i = 0; i < h.size(); ++i) {
            if (i > 0)
                line += i + 1 == h.size() ? " and " : ", ";
            line += HolderText(h[i]);
        }
        return line;
    }
    if (owner.otherUser)
        return line + "a program of another user (" + owner.otherUserName + ")";
    return line + "another program";
}
