// Fuzz target of the menu-template reader: any input must be read without a
// fault, and an accepted template must describe a well-formed tree.
#include "MenuTemplate.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto items = ReadMenuTemplate(std::span<const std::uint8_t>(data, size));
    if (!items)
        return 0;
    // Every popup opens a level and the outermost one is open from the start;
    // every level must be closed exactly once, by the last item.
    int open = 1;
    for (const MenuTemplateItem& item : *items) {
        if (open <= 0 || item.levelsClosed < 0 || (item.popup && item.levelsClosed != 0))
            std::abort();
        if (item.caption.find(u'\0') != std::u16string::npos || (item.flags & 0x80))
            std::abort();
        open += item.popup ? 1 : -item.levelsClosed;
    }
    if (open != 0 || items->empty() || items->back().levelsClosed == 0)
        std::abort();
    return 0;
}
