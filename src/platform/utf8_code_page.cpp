#include "platform/utf8_code_page.h"

namespace larkspan {

namespace {

// The length of the well-formed UTF-8 sequence at `position`, or, when there is none, the
// negated length of its longest well-formed beginning (at least 1), which U+FFFD replaces.
long Utf8Sequence(std::string_view text, std::size_t position)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(position);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (position + i >= text.size())
            return -static_cast<long>(i);
        const unsigned char next = byte(position + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return -static_cast<long>(i);
    }
    return static_cast<long>(length);
}

class Utf8CodePage final : public TextCodePage
{
public:
    std::string Decode(std::string_view bytes, bool& complete) const override
    {
        complete = true;
        std::string text;
        text.reserve(bytes.size());
        std::size_t copiedUpTo = 0;
        for (std::size_t position = 0; position < bytes.size();) {
            const long length = Utf8Sequence(bytes, position);
            if (length > 0) {
                position += static_cast<std::size_t>(length);
                continue;
            }
            text.append(bytes.substr(copiedUpTo, position - copiedUpTo)).append(kUtf8Replacement);
            position += static_cast<std::size_t>(-length);
            copiedUpTo = position;
            complete = false;
        }
        text.append(bytes.substr(copiedUpTo));
        return text;
    }

    std::optional<std::string> Encode(std::string_view text) const override
    {
        bool valid = true;
        Decode(text, valid);
        if (!valid)
            return std::nullopt;
        return std::string(text);
    }
};

} // namespace

std::unique_ptr<TextCodePage> MakeUtf8CodePage()
{
    return std::make_unique<Utf8CodePage>();
}

} // namespace larkspan
