#pragma once

#include "platform/text_code_page.h"

#include <set>

namespace larkspan {

/// An 8-bit code page that is the same on every system: each byte stands for the character of the
/// same number (as ISO-8859-1), except the bytes in `undefined`, which it cannot decode. Counts the
/// calls, so that tests see whether text was decoded or encoded at all.
class FakeTextCodePage final : public TextCodePage
{
public:
    std::string Decode(std::string_view bytes, bool& complete) const override
    {
        ++decodes;
        complete = true;
        std::string text;
        for (const unsigned char byte : bytes) {
            if (undefined.count(byte) != 0) {
                text += "\xEF\xBF\xBD"; // U+FFFD
                complete = false;
            } else if (byte < 0x80) {
                text += static_cast<char>(byte);
            } else {
                text += static_cast<char>(0xC0 | (byte >> 6));
                text += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return text;
    }

    std::optional<std::string> Encode(std::string_view text) const override
    {
        ++encodes;
        std::string bytes;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto lead = static_cast<unsigned char>(text[i]);
            unsigned char byte = lead;
            if (lead >= 0x80) {
                // Only the two-byte forms of U+0080..U+00FF have a byte here.
                if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= text.size())
                    return std::nullopt;
                byte = static_cast<unsigned char>(((lead & 0x03) << 6) | (text[++i] & 0x3F));
            }
            if (undefined.count(byte) != 0)
                return std::nullopt;
            bytes += static_cast<char>(byte);
        }
        return bytes;
    }

    std::set<unsigned char> undefined {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    mutable int decodes = 0;
    mutable int encodes = 0;
};

} // namespace larkspan
