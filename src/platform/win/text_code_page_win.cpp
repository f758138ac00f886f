// 8-bit file text on Windows: the ANSI code page, converted by the system's own tables.
#include "config/win/wide_text.h"
#include "platform/text_code_page.h"
#include "platform/utf8_code_page.h"

#include <windows.h>

namespace larkspan {

namespace {

class WindowsCodePage final : public TextCodePage
{
public:
    explicit WindowsCodePage(UINT codePage)
        : m_codePage(codePage)
    { }

    std::string Decode(std::string_view bytes, bool& complete) const override
    {
        complete = true;
        if (const std::optional<std::wstring> wide = WideFromCodePage(m_codePage, bytes))
            return Utf8FromWide(*wide);
        // Sequence by sequence (a lead byte with its trail byte, or one byte): runs that decode are
        // kept, and a sequence the code page does not define becomes U+FFFD for its first byte, the
        // scan going on after it ("\xD6\n" in GBK keeps its line break).
        std::string text;
        std::size_t run = 0;
        const auto flush = [&](std::size_t end) {
            text += Utf8FromWide(WideFromCodePage(m_codePage, bytes.substr(run, end - run)).value_or(L""));
        };
        for (std::size_t position = 0; position < bytes.size();) {
            const bool lead = ::IsDBCSLeadByteEx(m_codePage, static_cast<BYTE>(bytes[position]));
            const std::size_t length = lead && position + 1 < bytes.size() ? 2 : 1;
            if (WideFromCodePage(m_codePage, bytes.substr(position, length))) {
                position += length;
                continue;
            }
            flush(position);
            text += kUtf8Replacement;
            complete = false;
            run = ++position;
        }
        flush(bytes.size());
        return text;
    }

    std::optional<std::string> Encode(std::string_view text) const override
    {
        const std::optional<std::wstring> wide = WideFromUtf8(text);
        if (!wide)
            return std::nullopt;
        return CodePageFromWide(m_codePage, *wide);
    }

private:
    UINT m_codePage;
};

std::string Upper(std::string_view name)
{
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// The Windows code page a name stands for: the usual names, "CPnnn", "windows-nnn" or a number.
UINT CodePageNamed(std::string_view name)
{
    static const struct
    {
        const char* name;
        UINT codePage;
    } known[] = {
        {"UTF-8", CP_UTF8},
        {"UTF8", CP_UTF8},
        {"GBK", 936},
        {"GB2312", 936},
        {"BIG5", 950},
        {"SHIFT_JIS", 932},
        {"EUC-KR", 949},
        {"ISO-8859-1", 28591},
        {"LATIN1", 28591},
    };
    const std::string upper = Upper(name);
    for (const auto& entry : known) {
        if (upper == entry.name)
            return entry.codePage;
    }
    std::string_view number(upper);
    for (const std::string_view prefix : {"CP", "WINDOWS-"}) {
        if (number.starts_with(prefix)) {
            number.remove_prefix(prefix.size());
            break;
        }
    }
    if (number.empty() || number.size() > 5
        || number.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    return static_cast<UINT>(std::stoul(std::string(number)));
}

std::unique_ptr<TextCodePage> CodePage(UINT codePage)
{
    if (codePage == CP_UTF8)
        return MakeUtf8CodePage();
    if (codePage == 0 || !::IsValidCodePage(codePage))
        return nullptr;
    return std::make_unique<WindowsCodePage>(codePage);
}

} // namespace

std::unique_ptr<TextCodePage> MakeTextCodePage(std::string_view name)
{
    return CodePage(CodePageNamed(name));
}

std::unique_ptr<TextCodePage> MakeSystemTextCodePage()
{
    auto codePage = CodePage(::GetACP());
    return codePage ? std::move(codePage) : MakeUtf8CodePage();
}

} // namespace larkspan
