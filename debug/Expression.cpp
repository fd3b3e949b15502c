#include "debug/Expression.h"

#include "cpu/Mc6802.h"
#include "debug/Labels.h"

#include <algorithm>
#include <cctype>

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Names, labels and numbers are runs of these, as in the listing's labels.
bool wordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}

int digitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (lower(c) >= 'a' && lower(c) <= 'f') return lower(c) - 'a' + 10;
    return 99;
}

// How the value of a word came out.
enum class Number { Good, Bad, TooLarge };

Number parseNumber(std::string_view digits, std::uint64_t base, std::uint32_t& value) {
    if (digits.empty()) return Number::Bad;
    std::uint64_t v = 0;
    bool tooLarge = false;
    for (char c : digits) {
        const auto digit = static_cast<std::uint64_t>(digitValue(c));
        if (digit >= base) return Number::Bad;
        v = v * base + digit;
        if (v > 0xFFFFFFFFu) {
            tooLarge = true;
            v = 0;
        }
    }
    value = static_cast<std::uint32_t>(v);
    return tooLarge ? Number::TooLarge : Number::Good;
}

} // namespace

// A recursive-descent compiler: each operand and operator is emitted in postfix order as
// soon as it is complete. Binary operators go by precedence climbing, level 1 (||) binding
// loosest and level 10 (* / %) tightest; an operator's right side takes only tighter
// operators, which makes each level left-associative.
class Expression::Compiler {
  public:
    Compiler(std::string_view text, const Labels* labels, Expression& program)
        : text(text), labels(labels), program(program) {}

    bool whole() {
        skipSpaces();
        if (pos == text.size()) return failHere("empty expression", std::string::npos);
        if (!binary(1)) return false;
        skipSpaces();
        if (pos < text.size()) return unexpected();
        return true;
    }

    std::string error;

  private:
    struct Binary {
        std::string_view text;
        int level;
        Code code;
    };
    // Two-character operators first, so that "<<" is not read as "<".
    static constexpr Binary binaries[] = {
        {"||", 1, Code::LogicalOr}, {"&&", 2, Code::LogicalAnd}, {"==", 6, Code::Equal},
        {"!=", 6, Code::NotEqual},  {"<=", 7, Code::LessEqual},  {">=", 7, Code::GreaterEqual},
        {"<<", 8, Code::ShiftLeft}, {">>", 8, Code::ShiftRight}, {"|", 3, Code::BitOr},
        {"^", 4, Code::BitXor},     {"&", 5, Code::BitAnd},      {"<", 7, Code::Less},
        {">", 7, Code::Greater},    {"+", 9, Code::Add},         {"-", 9, Code::Subtract},
        {"*", 10, Code::Multiply},  {"/", 10, Code::Divide},     {"%", 10, Code::Remainder},
    };

    struct Name {
        std::string_view name;
        Code code;
        std::uint32_t value;
    };
    static constexpr Name names[] = {
        {"a", Code::A, 0},
        {"b", Code::B, 0},
        {"x", Code::X, 0},
        {"sp", Code::SP, 0},
        {"pc", Code::PC, 0},
        {"cc", Code::CC, 0},
        {"c", Code::Flag, Mc6802::flagC},
        {"v", Code::Flag, Mc6802::flagV},
        {"z", Code::Flag, Mc6802::flagZ},
        {"n", Code::Flag, Mc6802::flagN},
        {"i", Code::Flag, Mc6802::flagI},
        {"h", Code::Flag, Mc6802::flagH},
    };

    bool binary(int level) {
        if (!unary()) return false;
        for (;;) {
            skipSpaces();
            const Binary* op = nullptr;
            for (const Binary& b : binaries)
                if (text.substr(pos, b.text.size()) == b.text) {
                    op = &b;
                    break;
                }
            if (op == nullptr || op->level < level) return true;
            pos += op->text.size();
            // && and || skip their right operand when the left one decides.
            const bool shortCircuit = op->code == Code::LogicalAnd || op->code == Code::LogicalOr;
            const std::size_t skip = program.count;
            if (shortCircuit &&
                !emit(op->code == Code::LogicalAnd ? Code::SkipIfZero : Code::SkipIfNonZero))
                return false;
            if (!binary(op->level + 1) || !emit(op->code)) return false;
            if (shortCircuit) program.steps[skip].value = static_cast<std::uint32_t>(program.count);
        }
    }

    // Every operand passes through here, so the depth counted here bounds the recursion.
    bool unary() {
        skipSpaces();
        if (nesting == maxNesting) return failHere("nested too deeply", pos);
        ++nesting;
        const bool ok = unaryOperand();
        --nesting;
        return ok;
    }

    bool unaryOperand() {
        const char c = pos < text.size() ? text[pos] : '\0';
        const Code code = c == '!' ? Code::Not : c == '~' ? Code::Complement : Code::Negate;
        if (c == '!' || c == '~' || c == '-') {
            ++pos;
            return unary() && emit(code);
        }
        return operand();
    }

    bool operand() {
        if (pos == text.size()) return failHere("expected a value", pos);
        const std::size_t start = pos;
        const char c = text[pos];
        if (c == '(' || c == '[' || c == '{') {
            ++pos;
            if (!binary(1)) return false;
            skipSpaces();
            const char close = c == '(' ? ')' : c == '[' ? ']' : '}';
            if (pos == text.size() || text[pos] != close)
                return failHere(std::string("expected '") + close + "'", pos);
            ++pos;
            return c == '(' || emit(c == '[' ? Code::Byte : Code::Word);
        }
        if (c == '#' || c == '$') ++pos;
        while (pos < text.size() && wordChar(text[pos]))
            ++pos;
        const std::string_view word = text.substr(start, pos - start);
        if (word.empty()) return unexpected();
        if (c == '#') return number(word.substr(1), 10, word);
        if (c == '$') return number(word.substr(1), 16, word);
        if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            const bool prefixed = word.size() > 1 && lower(word[1]) == 'x' && c == '0';
            return number(word.substr(prefixed ? 2 : 0), 16, word);
        }
        for (const Name& n : names)
            if (sameName(word, n.name)) return emit(n.code, n.value);
        if (labels != nullptr)
            for (const Labels::Entry& e : labels->entries)
                if (sameName(word, e.name)) return emit(Code::Number, e.address);
        if (std::all_of(word.begin(), word.end(), [](char d) { return digitValue(d) < 16; }))
            return number(word, 16, word);
        return failHere("unknown name " + quoted(word), start);
    }

    bool number(std::string_view digits, std::uint64_t base, std::string_view word) {
        std::uint32_t value = 0;
        const std::size_t start = pos - word.size();
        switch (parseNumber(digits, base, value)) {
        case Number::Good: return emit(Code::Number, value);
        case Number::Bad: return failHere("bad number " + quoted(word), start);
        case Number::TooLarge: return failHere("number " + quoted(word) + " too large", start);
        }
        return false;
    }

    bool emit(Code code, std::uint32_t value = 0) {
        if (program.count == maxSteps) {
            error = "expression too long: more than " + std::to_string(maxSteps) + " steps";
            return false;
        }
        program.steps[program.count++] = Step{code, value};
        return true;
    }

    bool unexpected() {
        const char c = text[pos];
        if (c < ' ' || c > '~') return failHere("unexpected character", pos);
        return failHere(std::string("unexpected '") + c + "'", pos);
    }

    // what, then where in the text it went wrong (npos: nowhere in particular).
    bool failHere(std::string what, std::size_t at) {
        error = std::move(what);
        if (at == std::string::npos) return false;
        error += at < text.size() ? " at column " + std::to_string(at + 1) : " at the end";
        return false;
    }

    // A word as the error shows it: quoted, and cut short when long.
    static std::string quoted(std::string_view word) {
        constexpr std::size_t longest = 24;
        std::string q(1, '\'');
        q.append(word.substr(0, longest)).append(word.size() > longest ? "...'" : "'");
        return q;
    }

    void skipSpaces() {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    }

    std::string_view text;
    const Labels* labels;
    Expression& program;
    std::size_t pos = 0;
    std::size_t nesting = 0;
};

bool Expression::compile(std::string_view text, const Labels* labels, Expression& out,
                         std::string& error) {
    Expression program;
    Compiler compiler(text, labels, program);
    if (!compiler.whole()) {
        error = std::move(compiler.error);
        return false;
    }
    out = program;
    return true;
}

std::uint32_t Expression::evaluate(const Mc6802& cpu) const noexcept {
    // The compiler emits only well-formed programs: each step finds the values it takes,
    // and at most one value per step is ever on the stack. One switch a step: this runs
    // before every instruction at a conditional breakpoint.
    // Two spare entries below the first value, so that v and l always name entries.
    std::array<std::uint32_t, maxSteps + 2> stack;
    std::uint32_t* top = stack.data() + 2; // one past the top value
    const auto byteAt = [&cpu](std::uint32_t address) -> std::uint32_t {
        return cpu.memory == nullptr ? 0 : cpu.memory[address & 0xFFFF];
    };
    for (std::size_t i = 0; i < count; ++i) {
        const Step step = steps[i];
        std::uint32_t& v = top[-1];
        std::uint32_t& l = top[-2]; // the left operand of a binary step; v is its right one
        switch (step.code) {
        case Code::Number: *top++ = step.value; break;
        case Code::A: *top++ = cpu.A; break;
        case Code::B: *top++ = cpu.B; break;
        case Code::X: *top++ = cpu.X; break;
        case Code::SP: *top++ = cpu.SP; break;
        case Code::PC: *top++ = cpu.PC; break;
        case Code::CC: *top++ = cpu.CC; break;
        case Code::Flag: *top++ = (cpu.CC & step.value) != 0; break;
        case Code::Byte: v = byteAt(v); break;
        case Code::Word: v = byteAt(v) << 8 | byteAt(v + 1); break;
        case Code::Not: v = v == 0; break;
        case Code::Complement: v = ~v; break;
        case Code::Negate: v = 0u - v; break;
        case Code::SkipIfZero:
            if (v == 0) i = step.value - 1;
            break;
        case Code::SkipIfNonZero:
            if (v != 0) {
                v = 1;
                i = step.value - 1;
            }
            break;
        case Code::Multiply: l *= v, --top; break;
        case Code::Divide: l = v == 0 ? 0 : l / v, --top; break;
        case Code::Remainder: l = v == 0 ? 0 : l % v, --top; break;
        case Code::Add: l += v, --top; break;
        case Code::Subtract: l -= v, --top; break;
        case Code::ShiftLeft: l = v >= 32 ? 0 : l << v, --top; break;
        case Code::ShiftRight: l = v >= 32 ? 0 : l >> v, --top; break;
        case Code::Less: l = l < v, --top; break;
        case Code::LessEqual: l = l <= v, --top; break;
        case Code::Greater: l = l > v, --top; break;
        case Code::GreaterEqual: l = l >= v, --top; break;
        case Code::Equal: l = l == v, --top; break;
        case Code::NotEqual: l = l != v, --top; break;
        case Code::BitAnd: l &= v, --top; break;
        case Code::BitXor: l ^= v, --top; break;
        case Code::BitOr: l |= v, --top; break;
        case Code::LogicalAnd: l = l != 0 && v != 0, --top; break;
        case Code::LogicalOr: l = l != 0 || v != 0, --top; break;
        }
    }
    return count == 0 ? 0 : stack[2];
}
