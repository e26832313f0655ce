// Fuzz target of the menu-template reader: any input is read without a fault, and
// an accepted template describes a well-formed tree.
#include "FuzzDriver.h"
#include "MenuTemplate.h"
#include "MenuTemplateBuilder.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto items = ReadMenuTemplate(std::span<const std::uint8_t>(data, size));
    if (!items)
        return 0;
    // The outermost level is open from the start and every popup opens one; each
    // is closed exactly once, the outermost by the last item.
    int open = 1;
    for (const MenuTemplateItem& item : *items) {
        if (open <= 0 || item.levelsClosed < 0 || (item.popup && item.levelsClosed != 0) ||
            item.caption.find(u'\0') != std::u16string::npos || (item.flags & 0x80))
            std::abort();
        open += item.popup ? 1 : -item.levelsClosed;
    }
    if (open != 0 || items->empty() || items->back().levelsClosed == 0)
        std::abort();
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    return {MenuTemplate({{0x80, 1, u"One"}}),
            MenuTemplate({{0x10, 0, u"&File"},
                          {0, 10, u"&Open\tCtrl+O"},
                          {0, 0, u""},
                          {0x90, 0, u"&Recent"},
                          {0x80, 11, u"a"},
                          {0x90, 0, u"&Help"},
                          {0x81, 12, u"关于"}}),
            MenuTemplate({{0x90, 0, u"A"}, {0x90, 0, u"B"}, {0x80, 2, u"b"}}, 8)};
}
