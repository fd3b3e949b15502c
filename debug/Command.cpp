#include "debug/Command.h"

#include "cpu/Mc6802.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace {

using Kind = DebugCommand::Kind;
using Register = DebugCommand::Register;

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool same(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

std::string hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// A count as typed, in hexadecimal, and in decimal too once they differ.
std::string count(std::uint64_t n) {
    return hex(static_cast<std::uint32_t>(n), 1) + (n > 9 ? " (#" + std::to_string(n) + ")" : "");
}

// Where the word "if" that starts a condition begins (after a blank, before a blank or a
// parenthesis), or npos.
std::size_t findIf(std::string_view s) {
    for (std::size_t i = 1; i + 2 <= s.size(); ++i) {
        if (!isSpace(s[i - 1]) || !same(s.substr(i, 2), "if")) continue;
        if (i + 2 == s.size() || isSpace(s[i + 2]) || s[i + 2] == '(') return i;
    }
    return std::string_view::npos;
}

// Where the first of the characters in stops lies outside brackets and parentheses, or npos.
std::size_t findOutside(std::string_view s, std::string_view stops) {
    int depth = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (depth == 0 && stops.find(c) != std::string_view::npos) return i;
        if (c == '(' || c == '[' || c == '{') ++depth;
        if (c == ')' || c == ']' || c == '}') --depth;
    }
    return std::string_view::npos;
}

// Compiles and evaluates one operand; a value past limit is refused.
struct Operands {
    const Labels* labels;
    const Mc6802& cpu;
    std::string& answer;
    std::string_view whole; // the line as given to parse, which file offsets refer to

    template <typename T>
    bool value(std::string_view text, const char* what, std::uint32_t limit, T& out) {
        Expression e;
        std::string error;
        if (!Expression::compile(text, labels, e, error)) {
            answer = std::string(what) + ": " + error;
            return false;
        }
        const std::uint32_t v = e.evaluate(cpu);
        if (v > limit) {
            answer = std::string(what) + " " + hex(v, 1) + " is past " + hex(limit, 1);
            return false;
        }
        out = static_cast<T>(v);
        return true;
    }
    // A file name (the rest of the line, blanks kept inside it); false when there is none.
    bool file(std::string_view text, const char* command, DebugCommand& c) {
        if (text.empty()) {
            answer = std::string(command) + " needs a file name";
            return false;
        }
        c.fileAt = static_cast<std::uint16_t>(text.data() - whole.data());
        c.fileLength = static_cast<std::uint16_t>(text.size());
        return true;
    }
    // The " if EXPR" at the end of text, when there is one, is cut off and compiled.
    bool condition(std::string_view& text, Expression& out, std::string& shown) {
        const std::size_t at = findIf(text);
        if (at == std::string_view::npos) return true;
        const std::string_view source = trim(text.substr(at + 2));
        std::string error;
        if (!Expression::compile(source, labels, out, error)) {
            answer = "condition: " + error;
            return false;
        }
        shown = " if " + std::string(source);
        text = trim(text.substr(0, at));
        return true;
    }
};

bool isWatchStart(const DebugStatus& status, std::uint16_t address) {
    for (std::int32_t i = 0; i < status.watchCount; ++i)
        if (status.watchpoints[static_cast<std::size_t>(i)] == address) return true;
    return false;
}

constexpr struct {
    std::string_view name;
    Register reg;
    std::uint32_t limit;
} registers[] = {{"a", Register::A, 0xFF},     {"b", Register::B, 0xFF},
                 {"x", Register::X, 0xFFFF},   {"sp", Register::SP, 0xFFFF},
                 {"pc", Register::PC, 0xFFFF}, {"cc", Register::CC, 0xFF}};

bool parseLine(std::string_view line, Operands& in, const DebugStatus& status, DebugCommand& c) {
    std::string& answer = in.answer;
    // [ADDR]=EXPR
    if (line.front() == '[') {
        const std::size_t close = findOutside(line.substr(1), "]");
        const std::string_view after =
            close == std::string_view::npos ? "" : trim(line.substr(close + 2));
        if (after.size() < 2 || after[0] != '=' || after[1] == '=') {
            answer = "expected [ADDR]=VALUE";
            return false;
        }
        c.kind = Kind::Memory;
        if (!in.value(line.substr(1, close), "address", 0xFFFF, c.address)) return false;
        if (c.address > Mc6802::writeWindowLast) {
            answer = hex(c.address, 4) + " is outside the write window 0000-0410";
            return false;
        }
        if (!in.value(after.substr(1), "value", 0xFF, c.value)) return false;
        answer = "[" + hex(c.address, 4) + "]=" + hex(c.value, 2);
        return true;
    }

    std::size_t n = 0;
    while (n < line.size() && std::isalpha(static_cast<unsigned char>(line[n])) != 0)
        ++n;
    const std::string_view name = line.substr(0, n);
    std::string_view rest = trim(line.substr(n));
    // REG=EXPR
    if (rest.size() >= 2 && rest[0] == '=' && rest[1] != '=') {
        for (const auto& r : registers) {
            if (!same(name, r.name)) continue;
            c.kind = Kind::Register;
            c.reg = r.reg;
            if (!in.value(rest.substr(1), "value", r.limit, c.value)) return false;
            std::string shown(r.name);
            for (char& ch : shown)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            answer = shown + "=" + hex(c.value, r.limit == 0xFF ? 2 : 4);
            return true;
        }
    }
    if (n < line.size() && !isSpace(line[n])) n = line.find_first_of(" \t");
    const auto is = [&](std::string_view full, std::string_view brief) {
        return n == name.size() && (same(name, full) || same(name, brief));
    };
    std::string shown;
    if (is("break", "b")) {
        c.kind = Kind::Break;
        if (!in.condition(rest, c.condition, shown)) return false;
        if (!in.value(rest, "address", 0xFFFF, c.address)) return false;
        if (!status.isBreakpoint(c.address) && status.breakCount == DebugStatus::maxPoints) {
            answer = "breakpoints full (8): delete one first";
            return false;
        }
        answer = "break " + hex(c.address, 4) + shown;
        return true;
    }
    if (is("watch", "w")) {
        c.kind = Kind::Watch;
        if (!in.condition(rest, c.condition, shown)) return false;
        const std::size_t blank = rest.find_last_of(" \t");
        const std::string_view access =
            blank == std::string_view::npos ? "" : rest.substr(blank + 1);
        constexpr std::pair<std::string_view, DebugStatus::Access> accesses[] = {
            {"r", DebugStatus::Access::Read},
            {"w", DebugStatus::Access::Write},
            {"rw", DebugStatus::Access::ReadWrite}};
        std::string_view accessShown = "";
        for (const auto& [word, kind] : accesses) {
            if (!same(access, word)) continue;
            c.access = kind;
            accessShown = kind == DebugStatus::Access::Write ? "" : word;
            rest = trim(rest.substr(0, blank));
        }
        const std::size_t dash = findOutside(rest, "-");
        const bool range = dash != std::string_view::npos && dash > 0;
        if (!in.value(rest.substr(0, range ? dash : rest.size()), "address", 0xFFFF, c.address))
            return false;
        c.end = c.address;
        if (range && !in.value(rest.substr(dash + 1), "end", 0xFFFF, c.end)) return false;
        if (c.end < c.address) {
            answer = "the range ends before it starts";
            return false;
        }
        if (!isWatchStart(status, c.address) && status.watchCount == DebugStatus::maxPoints) {
            answer = "watchpoints full (8): delete one first";
            return false;
        }
        answer = "watch " + hex(c.address, 4) + (range ? "-" + hex(c.end, 4) : "") +
                 (accessShown.empty() ? "" : " " + std::string(accessShown)) + shown;
        return true;
    }
    if (is("delete", "d")) {
        if (same(rest, "all")) {
            c.kind = Kind::DeleteAll;
            answer = "deleted every breakpoint and watchpoint";
            return true;
        }
        c.kind = Kind::Delete;
        if (!in.value(rest, "address", 0xFFFF, c.address)) return false;
        if (!status.isBreakpoint(c.address) && !isWatchStart(status, c.address)) {
            answer = "nothing is set at " + hex(c.address, 4);
            return false;
        }
        answer = "deleted " + hex(c.address, 4);
        return true;
    }
    if (is("go", "g")) {
        c.kind = Kind::Go;
        c.hasAddress = !rest.empty();
        if (c.hasAddress && !in.value(rest, "address", 0xFFFF, c.address)) return false;
        answer = c.hasAddress ? "running to " + hex(c.address, 4) : "running";
        return true;
    }
    if (is("send", "s")) {
        c.kind = Kind::Send;
        if (!in.value(rest, "value", 0xFF, c.value)) return false;
        answer = "send " + hex(c.value, 2);
        return true;
    }
    if (is("list", "l")) {
        c.kind = Kind::List;
        c.hasAddress = !same(rest, "pc");
        if (c.hasAddress && !in.value(rest, "address", 0xFFFF, c.address)) return false;
        answer = c.hasAddress ? "listing from " + hex(c.address, 4) : "listing from PC";
        return true;
    }
    if (is("mem", "mem")) {
        c.kind = Kind::ShowMemory;
        if (!in.value(rest, "address", 0xFFFF, c.address)) return false;
        // 256 bytes from a multiple of 16, all of them below 0x10000.
        c.address = static_cast<std::uint16_t>(std::min(c.address & 0xFFF0, 0xFF00));
        const unsigned last = c.address + 0xFFu;
        answer = "memory " + hex(c.address, 4) + "-" + hex(last, 4);
        if (c.address > Mc6802::writeWindowLast)
            answer += ", read-only (edits only 0000-0410)";
        else if (last > Mc6802::writeWindowLast)
            answer += ", edits only up to 0410";
        return true;
    }
    if (const bool save = is("save", "save"); save || is("load", "load")) {
        const std::string verb = save ? "save" : "load";
        c.kind = save ? Kind::Save : Kind::Load;
        if (!in.file(rest, verb.c_str(), c)) return false;
        answer = verb + " " + std::string(rest);
        return true;
    }
    if (is("trace", "trace")) {
        if (!in.condition(rest, c.condition, shown)) return false;
        const std::size_t blank = rest.find_first_of(" \t");
        const std::string_view onOff = rest.substr(0, blank);
        const std::string_view file =
            blank == std::string_view::npos ? "" : trim(rest.substr(blank));
        if (same(onOff, "off") && file.empty() && shown.empty()) {
            c.kind = Kind::TraceOff;
            answer = "trace off";
            return true;
        }
        if (!same(onOff, "on")) {
            answer = "expected trace on [FILE] [if EXPR] or trace off";
            return false;
        }
        c.kind = Kind::TraceOn;
        if (!file.empty() && !in.file(file, "trace on", c)) return false;
        answer = "trace on" + (file.empty() ? "" : " " + std::string(file)) + shown;
        return true;
    }
    if (is("irq", "irq")) {
        c.kind = Kind::Irq;
        if (!same(rest, "drop") && !same(rest, "hold")) {
            answer = "expected irq drop or irq hold";
            return false;
        }
        c.value = same(rest, "hold") ? 1 : 0;
        answer = c.value != 0 ? "irq hold: a masked request waits for CLI"
                              : "irq drop: a masked request is lost";
        return true;
    }
    if (is("back", "back")) {
        c.kind = Kind::Back;
        c.count = 1;
        if (!rest.empty() && !in.value(rest, "count", 0xFFFFFFFF, c.count)) return false;
        if (c.count == 0) {
            answer = "back needs a count of 1 or more";
            return false;
        }
        answer = "back " + count(c.count);
        if (c.count > status.history) {
            answer += ": only " + count(status.history) + " instructions in history";
            c.count = static_cast<std::uint32_t>(status.history);
        }
        return true;
    }
    if (is("help", "help") && rest.empty()) {
        c.kind = Kind::Help;
        answer = "the commands are in the help box";
        return true;
    }
    answer = "unknown command '" + std::string(line.substr(0, n)) + "' (try help)";
    return false;
}

} // namespace

bool DebugCommand::parse(std::string_view line, const Labels* labels, const Mc6802& cpu,
                         const DebugStatus& status, DebugCommand& out, std::string& answer) {
    const std::string_view whole = line;
    line = trim(line);
    DebugCommand c;
    std::string text;
    if (whole.size() > 0xFFFF) {
        answer = "the line is too long";
        return false;
    }
    if (!line.empty()) {
        Operands in{labels, cpu, text, whole};
        if (!parseLine(line, in, status, c)) {
            answer = text;
            return false;
        }
    }
    out = c;
    answer = text;
    return true;
}
