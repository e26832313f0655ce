#include "Captions.h"

#include "BoardAddress.h"

#include <cerrno>
#include <iconv.h>

namespace {

// The whole text converted, or nothing when any of it does not convert.
std::string Convert(const std::string& text, const char* to, const char* from) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return {};
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* next = out.data();
    std::size_t outLeft = out.size();
    const std::size_t done = iconv(converter, &in, &inLeft, &next, &outLeft);
    iconv_close(converter);
    if (done == static_cast<std::size_t>(-1) || inLeft != 0)
        return {};
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

ChannelCaptions ReadChannelCaptions(const std::filesystem::path& file) {
    ChannelCaptions captions;
    const std::string section = Convert("canshu", "GBK", "UTF-8");
    for (int n = 1; n <= RELAY_CHANNEL_COUNT; ++n) {
        const std::string number = std::to_string(n);
        const std::string key = Convert("按钮名称" + number, "GBK", "UTF-8");
        const std::string caption = Convert(ReadProfileText(file, section, key), "UTF-8", "GBK");
        captions[n - 1] = caption.empty() ? "第" + number + "路" : caption;
    }
    return captions;
}
