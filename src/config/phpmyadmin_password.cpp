#include "config/phpmyadmin_password.h"

#include "config/ascii_text.h"
#include "texts/catalogue.h"

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace larkspan {

namespace {

enum class TokenKind { Variable, Name, Number, String, Symbol, StatementEnd };

struct Token
{
    TokenKind kind = TokenKind::Symbol;
    std::size_t offset = 0;
    std::size_t length = 0;
    /// Variable: the name without "$"; String: its value when `plain`; otherwise as written.
    std::string text;
    /// A string whose value is known: single-quoted, or double-quoted without escapes or "$".
    bool plain = false;
};

/// Why the reading gave up, and where.
struct Refusal
{
    std::size_t offset = 0;
    std::string_view what;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// PHP names may hold any byte above 0x7F, so names in any code page are read whole.
bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'
        || static_cast<unsigned char>(c) >= 0x80;
}

bool IsNamePart(char c)
{
    return IsNameStart(c) || IsDigit(c);
}

// Longest first, so that "<<=" is not read as "<<" and "=".
constexpr std::array kOperators {"<<=", ">>=", "**=", "?\?=", "...", "<=>", "===", "!==", "?->",
    "==", "!=", "<>", "<=", ">=", "=>", "->", "::", "++", "--",
    "+=", "-=", "*=", "/=", ".=", "%=", "&=", "|=", "^=", "&&", "||", "??", "<<", ">>", "**"};

/// The tokens of the PHP code in `text` (inline text outside the PHP tags is skipped), each
/// statement end (";" or a closing tag) a token of its own, and one at the end.
class PhpTokenizer final
{
public:
    explicit PhpTokenizer(std::string_view text)
        : m_text(text)
    { }

    std::optional<Refusal> Run(std::vector<Token>& tokens)
    {
        bool inPhp = false;
        while (m_pos < m_text.size()) {
            if (!inPhp) {
                const std::size_t open = m_text.find("<?", m_pos);
                if (open == std::string_view::npos)
                    break;
                const std::size_t after = open + 2;
                if (EqualNoCase(m_text.substr(after, 3), "php")
                    && (after + 3 == m_text.size() || IsBlank(m_text[after + 3]))) {
                    m_pos = after + 3;
                } else if (At(after) == '=') {
                    m_pos = after + 1;
                } else {
                    // Code or text depending on short_open_tag, which this file does not tell.
                    return Refusal {open, catalogue::kPhpShortOpenTag};
                }
                inPhp = true;
                continue;
            }
            const char c = m_text[m_pos];
            if (IsBlank(c)) {
                ++m_pos;
            } else if (StartsWith("?>")) {
                Push(TokenKind::StatementEnd, m_pos, 2, "?>");
                m_pos += 2;
                inPhp = false;
            } else if (c == ';') {
                Push(TokenKind::StatementEnd, m_pos, 1, ";");
                ++m_pos;
            } else if (c == '#' && At(m_pos + 1) == '[') {
                // An attribute since PHP 8, a comment before: which one the server runs is unknown.
                return Refusal {m_pos, catalogue::kPhpAttribute};
            } else if (c == '#' || StartsWith("//")) {
                // A line comment also ends at a closing tag.
                while (m_pos < m_text.size() && m_text[m_pos] != '\n' && m_text[m_pos] != '\r'
                    && !StartsWith("?>"))
                    ++m_pos;
            } else if (StartsWith("/*")) {
                const std::size_t end = m_text.find("*/", m_pos + 2);
                if (end == std::string_view::npos)
                    return Refusal {m_pos, catalogue::kPhpUnterminatedComment};
                m_pos = end + 2;
            } else if (c == '\'') {
                if (auto refused = SingleQuoted())
                    return refused;
            } else if (c == '"') {
                if (auto refused = DoubleQuoted())
                    return refused;
            } else if (c == '`') {
                return Refusal {m_pos, catalogue::kPhpBacktick};
            } else if (StartsWith("<<<")) {
                return Refusal {m_pos, catalogue::kPhpHeredoc};
            } else if (c == '$') {
                if (!IsNameStart(At(m_pos + 1)))
                    return Refusal {m_pos, catalogue::kPhpVariableVariable};
                const std::size_t end = NameEnd(m_pos + 1);
                Push(TokenKind::Variable, m_pos, end - m_pos, m_text.substr(m_pos + 1, end - m_pos - 1));
                m_pos = end;
            } else if (IsNameStart(c)) {
                const std::size_t end = NameEnd(m_pos);
                const std::string_view name = m_text.substr(m_pos, end - m_pos);
                // What follows is data, not code.
                if (EqualNoCase(name, "__halt_compiler"))
                    break;
                Push(TokenKind::Name, m_pos, end - m_pos, name);
                m_pos = end;
            } else if (IsDigit(c)) {
                std::size_t end = m_pos;
                while (end < m_text.size() && (IsNamePart(m_text[end]) || m_text[end] == '.'))
                    ++end;
                Push(TokenKind::Number, m_pos, end - m_pos, m_text.substr(m_pos, end - m_pos));
                m_pos = end;
            } else {
                std::size_t length = 1;
                for (const std::string_view op : kOperators) {
                    if (StartsWith(op)) {
                        length = op.size();
                        break;
                    }
                }
                Push(TokenKind::Symbol, m_pos, length, m_text.substr(m_pos, length));
                m_pos += length;
            }
        }
        Push(TokenKind::StatementEnd, m_text.size(), 0, "");
        m_tokens.swap(tokens);
        return std::nullopt;
    }

private:
    char At(std::size_t position) const { return position < m_text.size() ? m_text[position] : '\0'; }
    bool StartsWith(std::string_view prefix) const { return m_text.substr(m_pos).starts_with(prefix); }
    std::size_t NameEnd(std::size_t position) const
    {
        while (position < m_text.size() && IsNamePart(m_text[position]))
            ++position;
        return position;
    }
    void Push(
        TokenKind kind, std::size_t offset, std::size_t length, std::string_view text, bool plain = false)
    {
        m_tokens.push_back(Token {kind, offset, length, std::string(text), plain});
    }

    // '…': only "\\" and "\'" are escapes; any other byte, "\" included, stands for itself.
    std::optional<Refusal> SingleQuoted()
    {
        std::string value;
        std::size_t at = m_pos + 1;
        for (;;) {
            if (at >= m_text.size())
                return Refusal {m_pos, catalogue::kPhpUnterminatedString};
            const char c = m_text[at];
            if (c == '\\' && (At(at + 1) == '\\' || At(at + 1) == '\'')) {
                value += m_text[at + 1];
                at += 2;
                continue;
            }
            if (c == '\'')
                break;
            value += c;
            ++at;
        }
        Push(TokenKind::String, m_pos, at + 1 - m_pos, value, true);
        m_pos = at + 1;
        return std::nullopt;
    }

    // "…": its end is found past escapes; its value is known only without escapes and "$". Braces
    // around an embedded expression may hold quotes of their own: not followed.
    std::optional<Refusal> DoubleQuoted()
    {
        std::string value;
        bool plain = true;
        std::size_t at = m_pos + 1;
        for (;;) {
            if (at >= m_text.size())
                return Refusal {m_pos, catalogue::kPhpUnterminatedString};
            const char c = m_text[at];
            if (c == '\\') {
                plain = false;
                // PHP keeps the brace of "\{$" literal; too rare to trust a reading of, so refused too.
                at += At(at + 1) == '{' ? 1 : 2;
                continue;
            }
            if (c == '"')
                break;
            if ((c == '$' && At(at + 1) == '{') || (c == '{' && At(at + 1) == '$'))
                return Refusal {at, catalogue::kPhpInterpolation};
            if (c == '$')
                plain = false;
            value += c;
            ++at;
        }
        Push(TokenKind::String, m_pos, at + 1 - m_pos, plain ? value : std::string(), plain);
        m_pos = at + 1;
        return std::nullopt;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::vector<Token> m_tokens;
};

bool IsSymbol(const Token& token, std::string_view symbol)
{
    return token.kind == TokenKind::Symbol && token.text == symbol;
}

bool IsName(const Token& token, std::string_view name)
{
    return token.kind == TokenKind::Name && EqualNoCase(token.text, name);
}

/// The value of a decimal integer as PHP writes an array index: no sign, no leading zero (that
/// would be octal, or in a string a key of its own), no separators.
std::optional<long long> DecimalIndex(std::string_view digits)
{
    if (digits.empty() || digits.size() > 9 || (digits.size() > 1 && digits[0] == '0'))
        return std::nullopt;
    long long value = 0;
    for (const char c : digits) {
        if (!IsDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

/// The server entry keys the edit decides on.
bool IsWatchedKey(std::string_view key)
{
    return key == "user" || key == "password" || key == "auth_type";
}

/// The last assignment of a watched key of an entry.
struct Assignment
{
    std::size_t offset = 0; ///< of the statement
    std::optional<std::string> value; ///< when the value is one plain string
    std::optional<std::size_t> literal; ///< the token of the value when it is one string
};

using ServerEntry = std::map<std::string, Assignment>;

/// Runs the straight-line part of a configuration: the variables that hold integers (the server
/// index) and the watched keys of every server entry, as PHP would leave them.
class ConfigReading final
{
public:
    explicit ConfigReading(const std::vector<Token>& tokens)
        : m_tokens(tokens)
    { }

    std::optional<Refusal> Run()
    {
        if (auto refused = ScanWholeFile())
            return refused;
        std::size_t begin = 0;
        int depth = 0;
        for (std::size_t i = 0; i < m_tokens.size() && !m_stopped; ++i) {
            const Token& token = m_tokens[i];
            std::optional<Refusal> refused;
            if (IsSymbol(token, "(") || IsSymbol(token, "[") || IsSymbol(token, "{")) {
                ++depth;
            } else if (IsSymbol(token, ")") || IsSymbol(token, "]") || IsSymbol(token, "}")) {
                if (--depth < 0)
                    return Refusal {token.offset, catalogue::kPhpUnbalanced};
                // A block ends its statement: `if (…) { … }` needs no ";".
                if (depth == 0 && token.text == "}") {
                    refused = Statement(begin, i + 1);
                    begin = i + 1;
                }
            } else if (token.kind == TokenKind::StatementEnd && depth == 0) {
                refused = Statement(begin, i);
                begin = i + 1;
            }
            if (refused)
                return refused;
        }
        if (depth != 0 && !m_stopped)
            return Refusal {m_tokens.back().offset, catalogue::kPhpUnbalanced};
        return std::nullopt;
    }

    const std::map<long long, ServerEntry>& servers() const { return m_servers; }

private:
    // What reaches variables past a reading of the statements themselves.
    std::optional<Refusal> ScanWholeFile()
    {
        for (std::size_t i = 0; i < m_tokens.size(); ++i) {
            const Token& token = m_tokens[i];
            const Token& next = m_tokens[std::min(i + 1, m_tokens.size() - 1)];
            for (const std::string_view name : {"include", "include_once", "require", "require_once", "eval"})
                if (IsName(token, name))
                    return Refusal {token.offset, catalogue::kPhpInclude};
            if (IsName(token, "extract") || IsName(token, "parse_str"))
                return Refusal {token.offset, catalogue::kPhpExtract};
            if (IsName(token, "global") || (token.kind == TokenKind::Variable && token.text == "GLOBALS"))
                return Refusal {token.offset, catalogue::kPhpGlobals};
            if ((IsSymbol(token, "&") && next.kind == TokenKind::Variable)
                || (IsSymbol(token, "=") && IsSymbol(next, "&")))
                return Refusal {token.offset, catalogue::kPhpReference};
            // Jumps and blocks closed by keywords: which assignments run is not told by braces.
            for (const std::string_view name :
                {"goto", "endif", "endwhile", "endfor", "endforeach", "endswitch", "enddeclare"})
                if (IsName(token, name) && !m_uncertainFlow)
                    m_uncertainFlow = token.offset;
        }
        return std::nullopt;
    }

    /// The k-th token of the statement [begin, end), or a statement end past it.
    const Token& At(std::size_t begin, std::size_t end, std::size_t k) const
    {
        return begin + k < end ? m_tokens[begin + k] : m_past;
    }

    std::optional<Refusal> Statement(std::size_t begin, std::size_t end)
    {
        if (begin >= end)
            return std::nullopt;
        const std::size_t n = end - begin;
        const auto t = [&](std::size_t k) -> const Token& { return At(begin, end, k); };
        const Token& first = t(0);
        for (const std::string_view name : {"return", "exit", "die", "throw"}) {
            if (IsName(first, name)) {
                m_stopped = true;
                return std::nullopt;
            }
        }
        if (first.kind == TokenKind::Variable && first.text == "cfg")
            return ConfigAssignment(begin, end);

        // The server index: $i = 1; $i++; ++$i; $i += 1; and the same downwards.
        const auto step = [&](const Token& variable, long long by) {
            std::optional<long long>& value = m_integers[variable.text];
            if (value)
                *value += by;
        };
        if (n == 3 && first.kind == TokenKind::Variable && IsSymbol(t(1), "=")
            && t(2).kind == TokenKind::Number && DecimalIndex(t(2).text)) {
            m_integers[first.text] = DecimalIndex(t(2).text);
            return std::nullopt;
        }
        if (n == 2 && first.kind == TokenKind::Variable && (IsSymbol(t(1), "++") || IsSymbol(t(1), "--"))) {
            step(first, t(1).text == "++" ? 1 : -1);
            return std::nullopt;
        }
        if (n == 2 && (IsSymbol(first, "++") || IsSymbol(first, "--")) && t(1).kind == TokenKind::Variable) {
            step(t(1), first.text == "++" ? 1 : -1);
            return std::nullopt;
        }
        if (n == 3 && first.kind == TokenKind::Variable && (IsSymbol(t(1), "+=") || IsSymbol(t(1), "-="))
            && t(2).kind == TokenKind::Number && DecimalIndex(t(2).text)) {
            step(first, *DecimalIndex(t(2).text) * (t(1).text == "+=" ? 1 : -1));
            return std::nullopt;
        }
        return OtherStatement(begin, end);
    }

    /// A statement the reading does not run: it must not reach the servers' entries, and every
    /// variable it names may hold anything afterwards.
    std::optional<Refusal> OtherStatement(std::size_t begin, std::size_t end)
    {
        if (auto refused = CheckConfigMentions(begin, end))
            return refused;
        ForgetVariables(begin, end);
        return std::nullopt;
    }

    /// Every $cfg in the tokens must be a subscript by a plain string other than 'Servers'.
    std::optional<Refusal> CheckConfigMentions(std::size_t begin, std::size_t end) const
    {
        for (std::size_t i = begin; i < end; ++i) {
            const Token& token = m_tokens[i];
            if (token.kind != TokenKind::Variable || token.text != "cfg")
                continue;
            const Token& open = At(i, end, 1);
            const Token& key = At(i, end, 2);
            const Token& close = At(i, end, 3);
            if (!IsSymbol(open, "[") || key.kind != TokenKind::String || !key.plain || !IsSymbol(close, "]")
                || key.text == "Servers")
                return Refusal {token.offset, catalogue::kPhpServersStatement};
        }
        return std::nullopt;
    }

    void ForgetVariables(std::size_t begin, std::size_t end)
    {
        for (std::size_t i = begin; i < end; ++i)
            if (m_tokens[i].kind == TokenKind::Variable)
                m_integers[m_tokens[i].text].reset();
    }

    std::optional<Refusal> ConfigAssignment(std::size_t begin, std::size_t end)
    {
        const auto t = [&](std::size_t k) -> const Token& { return At(begin, end, k); };
        const std::size_t offset = t(0).offset;
        const Refusal unreadable {offset, catalogue::kPhpServersStatement};
        if (!IsSymbol(t(1), "[") || t(2).kind != TokenKind::String || !t(2).plain || !IsSymbol(t(3), "]"))
            return unreadable;
        if (t(2).text != "Servers")
            return OtherStatement(begin, end);
        if (m_uncertainFlow)
            return Refusal {offset, catalogue::kPhpFlow};

        // $cfg['Servers'] = []; or = array(); empties the list, as phpMyAdmin's defaults do first.
        const std::size_t n = end - begin;
        if (IsSymbol(t(4), "=")
            && ((n == 7 && IsSymbol(t(5), "[") && IsSymbol(t(6), "]"))
                || (n == 8 && IsName(t(5), "array") && IsSymbol(t(6), "(") && IsSymbol(t(7), ")")))) {
            m_servers.clear();
            return std::nullopt;
        }

        if (!IsSymbol(t(4), "[") || !IsSymbol(t(6), "]"))
            return unreadable;
        const Token& indexToken = t(5);
        std::optional<long long> index;
        if (indexToken.kind == TokenKind::Number
            || (indexToken.kind == TokenKind::String && indexToken.plain)) {
            index = DecimalIndex(indexToken.text);
        } else if (indexToken.kind == TokenKind::Variable) {
            if (const auto known = m_integers.find(indexToken.text); known != m_integers.end())
                index = known->second;
        }
        if (!index)
            return Refusal {offset, catalogue::kPhpServerIndex};
        if (!IsSymbol(t(7), "[") || t(8).kind != TokenKind::String || !t(8).plain || !IsSymbol(t(9), "]"))
            return unreadable;
        const std::string& key = t(8).text;

        // What follows the entry's key: "= value" for a watched key, anything for the others, as
        // long as it leaves the servers and the index alone.
        const std::size_t rest = begin + 10;
        if (IsWatchedKey(key) && !IsSymbol(t(10), "="))
            return unreadable;
        if (auto refused = CheckConfigMentions(rest, end))
            return refused;
        for (std::size_t i = rest; i < end; ++i)
            if (indexToken.kind == TokenKind::Variable && m_tokens[i].kind == TokenKind::Variable
                && m_tokens[i].text == indexToken.text)
                return unreadable;
        // A value that is one variable only reads it; anything else may change what it names.
        if (!(end - rest == 2 && m_tokens[rest + 1].kind == TokenKind::Variable))
            ForgetVariables(rest, end);

        ServerEntry& entry = m_servers[*index];
        if (!IsWatchedKey(key))
            return std::nullopt;
        Assignment assignment;
        assignment.offset = offset;
        if (end - rest == 2 && m_tokens[rest + 1].kind == TokenKind::String) {
            assignment.literal = rest + 1;
            if (m_tokens[rest + 1].plain)
                assignment.value = m_tokens[rest + 1].text;
        }
        entry[key] = assignment;
        return std::nullopt;
    }

    const std::vector<Token>& m_tokens;
    std::map<std::string, std::optional<long long>> m_integers;
    std::map<long long, ServerEntry> m_servers;
    std::optional<std::size_t> m_uncertainFlow;
    bool m_stopped = false;
    const Token m_past {TokenKind::StatementEnd, 0, 0, {}, false};
};

/// The line number of `offset` in `text`, counting CR LF, CR and LF as one line end each.
std::size_t LineOf(std::string_view text, std::size_t offset)
{
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

} // namespace

std::string PhpSingleQuoted(std::string_view bytes)
{
    std::string literal = "'";
    for (const char c : bytes) {
        if (c == '\\' || c == '\'')
            literal += '\\';
        literal += c;
    }
    literal += '\'';
    return literal;
}

PhpMyAdminPasswordEdit SetPhpMyAdminRootPassword(std::string_view content, std::string_view password)
{
    const auto refuse = [&](std::string problem) { return PhpMyAdminPasswordEdit {{}, std::move(problem)}; };
    const auto unreadable = [&](const Refusal& refusal) {
        return refuse(catalogue::PhpUnreadable(LineOf(content, refusal.offset), refusal.what));
    };

    std::vector<Token> tokens;
    if (const auto refused = PhpTokenizer(content).Run(tokens))
        return unreadable(*refused);
    ConfigReading reading(tokens);
    if (const auto refused = reading.Run())
        return unreadable(*refused);

    std::vector<long long> roots;
    for (const auto& [index, entry] : reading.servers()) {
        const auto user = entry.find("user");
        if (user == entry.end())
            continue;
        if (!user->second.value)
            return unreadable({user->second.offset, catalogue::kPhpUserNotString});
        if (*user->second.value == "root")
            roots.push_back(index);
    }
    if (roots.empty())
        return refuse(std::string(catalogue::kPhpNoRootEntry));
    if (roots.size() > 1) {
        std::string list;
        for (const long long index : roots)
            list += (list.empty() ? "" : "、") + std::to_string(index);
        return refuse(catalogue::PhpSeveralRootEntries(list));
    }

    const ServerEntry& root = reading.servers().at(roots.front());
    const auto auth = root.find("auth_type");
    if (auth == root.end())
        return refuse(std::string(catalogue::kPhpAuthNotStated));
    if (!auth->second.value)
        return unreadable({auth->second.offset, catalogue::kPhpAuthNotString});
    if (!EqualNoCase(*auth->second.value, "config"))
        return refuse(catalogue::PhpAuthKeepsNoPassword(*auth->second.value));

    const auto assigned = root.find("password");
    if (assigned == root.end())
        return refuse(std::string(catalogue::kPhpNoPasswordLine));
    if (!assigned->second.literal)
        return refuse(catalogue::PhpPasswordNotString(LineOf(content, assigned->second.offset)));
    const Token& literal = tokens[*assigned->second.literal];
    std::string edited(content.substr(0, literal.offset));
    edited += PhpSingleQuoted(password);
    edited += content.substr(literal.offset + literal.length);
    return {std::move(edited), {}};
}

} // namespace larkspan
