#include "app/system/posix/desktop_entry.h"

#include "store/store_text.h"

#include <vector>

namespace lantorvix::desktop {

namespace {
// Characters that make an Exec argument need double quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string EscapeString(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeString(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += next;
            break; // "\\" and anything else
        }
    }
    return out;
}

std::string QuoteArgument(std::string_view argument)
{
    std::string body;
    bool quote = argument.empty();
    for (const char c : argument) {
        if (kReserved.find(c) != std::string_view::npos) {
            quote = true;
        }
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            body += '\\';
        }
        body += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return quote ? "\"" + body + "\"" : body;
}

// The arguments of an (already string-unescaped) Exec value; "%%" becomes "%".
std::vector<std::string> SplitArguments(std::string_view exec)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < exec.size()) {
        while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) {
            ++i;
        }
        if (i == exec.size()) {
            break;
        }
        std::string arg;
        bool quoted = false;
        for (; i < exec.size(); ++i) {
            const char c = exec[i];
            if (quoted && c == '\\' && i + 1 < exec.size()) {
                arg += exec[++i];
            } else if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
                arg += '%';
                ++i;
            } else {
                arg += c;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}
} // namespace

std::optional<std::string> AutostartEntry(std::string_view name, std::string_view command)
{
    if (command.find_first_of("\r\n") != std::string_view::npos ||
        name.find_first_of("\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string text = "[Desktop Entry]\nType=Application\nName=";
    text.append(EscapeString(name)).append("\nExec=").append(EscapeString(QuoteArgument(command)));
    // Sessions skip the entry once the program is gone (a package removed, a folder moved).
    text.append("\nTryExec=").append(EscapeString(command));
    text.append("\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    return text;
}

std::string ExecCommand(std::string_view entryText)
{
    bool inEntry = false;
    while (!entryText.empty()) {
        const std::size_t lf = entryText.find('\n');
        const std::string_view line = store::Trim(entryText.substr(0, lf));
        entryText = lf == std::string_view::npos ? std::string_view() : entryText.substr(lf + 1);
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inEntry || eq == std::string_view::npos || store::Trim(line.substr(0, eq)) != "Exec") {
            continue;
        }
        const std::string exec = UnescapeString(store::Trim(line.substr(eq + 1)));
        const auto args = SplitArguments(exec);
        return args.size() == 1 ? args.front() : exec;
    }
    return {};
}

} // namespace lantorvix::desktop
