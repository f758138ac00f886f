#include "platform/text_code_page.h"
#include "platform/utf8_code_page.h"

#include <cerrno>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>

namespace larkspan {

namespace {

class Converter final
{
public:
    Converter(const std::string& to, const std::string& from)
        : m_descriptor(::iconv_open(to.c_str(), from.c_str()))
    { }
    ~Converter()
    {
        if (valid())
            ::iconv_close(m_descriptor);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_descriptor != reinterpret_cast<iconv_t>(-1); }

    /// Converts `input` into `output`; each sequence iconv refuses is handed to `refused`, which
    /// returns whether to go on past it.
    template <typename OnRefused> bool Convert(std::string_view input, std::string& output, OnRefused refused)
    {
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char buffer[4096];
        while (true) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            // Null input at the end writes out what a stateful code page still holds.
            const std::size_t result = inLeft > 0 ? ::iconv(m_descriptor, &in, &inLeft, &out, &outLeft)
                                                  : ::iconv(m_descriptor, nullptr, nullptr, &out, &outLeft);
            const int error = errno;
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1)) {
                if (inLeft == 0)
                    return true;
                continue;
            }
            if (error == E2BIG)
                continue;
            if (!refused(output))
                return false;
            ++in;
            --inLeft;
            ::iconv(m_descriptor, nullptr, nullptr, nullptr, nullptr);
        }
    }

private:
    iconv_t m_descriptor;
};

class IconvCodePage final : public TextCodePage
{
public:
    explicit IconvCodePage(std::string name)
        : m_name(std::move(name))
    { }

    std::string Decode(std::string_view bytes, bool& complete) const override
    {
        complete = true;
        std::string text;
        text.reserve(bytes.size() * 3 / 2);
        Converter converter("UTF-8", m_name);
        converter.Convert(bytes, text, [&](std::string& output) {
            output.append(kUtf8Replacement);
            complete = false;
            return true;
        });
        return text;
    }

    std::optional<std::string> Encode(std::string_view text) const override
    {
        std::string bytes;
        bytes.reserve(text.size());
        Converter converter(m_name, "UTF-8");
        if (!converter.Convert(text, bytes, [](std::string&) { return false; }))
            return std::nullopt;
        return bytes;
    }

private:
    std::string m_name;
};

bool IsUtf8Name(std::string_view name)
{
    return ::strcasecmp(std::string(name).c_str(), "UTF-8") == 0
        || ::strcasecmp(std::string(name).c_str(), "UTF8") == 0;
}

// The codeset of the user's LC_CTYPE, read from the environment without touching the process's
// own locale.
std::string LocaleCodeset()
{
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (locale == static_cast<locale_t>(nullptr))
        return "UTF-8";
    std::string codeset = ::nl_langinfo_l(CODESET, locale);
    ::freelocale(locale);
    // Plain ASCII ("C"/"POSIX") says nothing about the files' bytes; UTF-8 at least shows them.
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || ::strcasecmp(codeset.c_str(), "ASCII") == 0
        || ::strcasecmp(codeset.c_str(), "US-ASCII") == 0)
        return "UTF-8";
    return codeset;
}

} // namespace

std::unique_ptr<TextCodePage> MakeTextCodePage(std::string_view name)
{
    if (IsUtf8Name(name))
        return MakeUtf8CodePage();
    const std::string codeset(name);
    if (codeset.empty() || !Converter("UTF-8", codeset).valid() || !Converter(codeset, "UTF-8").valid())
        return nullptr;
    return std::make_unique<IconvCodePage>(codeset);
}

std::unique_ptr<TextCodePage> MakeSystemTextCodePage()
{
    auto codePage = MakeTextCodePage(LocaleCodeset());
    return codePage ? std::move(codePage) : MakeUtf8CodePage();
}

} // namespace larkspan
