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

// Reads the postfix program back as a tree: a step's operands are the subexpressions that
// end just before it (the right one) and just before the right one starts (the left one, or
// before the skip step of && and ||).
class Expression::GateFinder {
  public:
    explicit GateFinder(const Expression& e) : e(e) {
        std::array<std::size_t, maxSteps> open{}; // the starts of the values on the stack
        std::size_t depth = 0;
        for (std::size_t i = 0; i < e.count; ++i) {
            const Code code = e.steps[i].code;
            if (code <= Code::Flag) {
                open[depth++] = i;
            } else if (code >= Code::Multiply) {
                --depth;
            }
            start[i] =
                code == Code::SkipIfZero || code == Code::SkipIfNonZero ? i : open[depth - 1];
        }
    }

    void gather(StopGate& gate) {
        if (e.count != 0) add(e.count - 1, false, gate);
    }

  private:
    using Test = StopGate::Test;

    std::size_t right(std::size_t i) const { return i - 1; }
    std::size_t left(std::size_t i) const {
        const std::size_t end = start[i - 1] - 1;
        const Code code = e.steps[end].code;
        return code == Code::SkipIfZero || code == Code::SkipIfNonZero ? end - 1 : end;
    }
    bool number(std::size_t i, std::uint32_t& k) const {
        k = e.steps[i].value;
        return e.steps[i].code == Code::Number;
    }

    // Whether the subexpression ending at i is a register, [N] or {N}, perhaps & M.
    bool source(std::size_t i, Test& t) const {
        std::uint32_t k = 0;
        switch (e.steps[i].code) {
        case Code::A: return byte(t, &Mc6802::A);
        case Code::B: return byte(t, &Mc6802::B);
        case Code::CC: return byte(t, &Mc6802::CC);
        case Code::X: return word(t, &Mc6802::X);
        case Code::SP: return word(t, &Mc6802::SP);
        case Code::PC: return word(t, &Mc6802::PC);
        case Code::Byte:
        case Code::Word:
            if (!number(i - 1, k)) return false;
            t.source = e.steps[i].code == Code::Byte ? StopGate::Source::Memory8
                                                     : StopGate::Source::Memory16;
            t.address = static_cast<std::uint16_t>(k);
            return true;
        case Code::BitAnd:
            if (number(right(i), k) ? !source(left(i), t)
                                    : !number(left(i), k) || !source(right(i), t))
                return false;
            t.mask &= k;
            return true;
        default: return false;
        }
    }

    static bool byte(Test& t, std::uint8_t Mc6802::*r) {
        t.source = StopGate::Source::Register8;
        t.byte = r;
        return true;
    }
    static bool word(Test& t, std::uint16_t Mc6802::*r) {
        t.source = StopGate::Source::Register16;
        t.word = r;
        return true;
    }

    static void flag(Test& t, std::uint32_t bit) {
        byte(t, &Mc6802::CC);
        t.mask = bit;
    }

    static void push(StopGate& gate, const Test& t) {
        if (gate.count < StopGate::maxTests) gate.tests[gate.count++] = t;
    }
    // A test that t's value is 0 (zero) or is not.
    static void zeroOrNot(StopGate& gate, Test t, bool zero) {
        t.low = t.high = 0;
        t.outside = !zero;
        push(gate, t);
    }

    // Adds the tests that hold whenever the subexpression ending at i is non-zero (zero,
    // when negated).
    void add(std::size_t i, bool negated, StopGate& gate) const {
        const Step step = e.steps[i];
        Test t;
        switch (step.code) {
        case Code::Not: add(i - 1, !negated, gate); return;
        case Code::LogicalAnd:
        case Code::LogicalOr:
            if ((step.code == Code::LogicalAnd) == negated) return; // a choice: nothing certain
            add(left(i), negated, gate);
            add(right(i), negated, gate);
            return;
        case Code::Flag:
            flag(t, step.value);
            zeroOrNot(gate, t, negated);
            return;
        case Code::Less:
        case Code::LessEqual:
        case Code::Greater:
        case Code::GreaterEqual:
        case Code::Equal:
        case Code::NotEqual: compare(i, negated, gate); return;
        default:
            if (source(i, t)) zeroOrNot(gate, t, negated);
            return;
        }
    }

    static bool relation(Code code, std::uint32_t l, std::uint32_t r) {
        switch (code) {
        case Code::Less: return l < r;
        case Code::LessEqual: return l <= r;
        case Code::Greater: return l > r;
        case Code::GreaterEqual: return l >= r;
        case Code::Equal: return l == r;
        default: return l != r;
        }
    }

    // A comparison of a register, flag, [N] or {N} with a number, on either side.
    void compare(std::size_t i, bool negated, StopGate& gate) const {
        static constexpr Code opposite[] = {Code::GreaterEqual, Code::Greater,  Code::LessEqual,
                                            Code::Less,         Code::NotEqual, Code::Equal};
        static constexpr Code mirrored[] = {Code::Greater,   Code::GreaterEqual, Code::Less,
                                            Code::LessEqual, Code::Equal,        Code::NotEqual};
        const auto index = [](Code c) {
            return static_cast<std::size_t>(c) - static_cast<std::size_t>(Code::Less);
        };
        Code code = e.steps[i].code;
        if (negated) code = opposite[index(code)];
        std::uint32_t k = 0;
        std::size_t side = left(i);
        if (!number(right(i), k)) {
            if (!number(left(i), k)) return;
            side = right(i);
            code = mirrored[index(code)];
        }
        Test t;
        if (e.steps[side].code == Code::Flag) { // 0 or 1: which of them passes
            const bool zero = relation(code, 0, k), one = relation(code, 1, k);
            if (zero && one) return;
            flag(t, e.steps[side].value);
            if (zero != one) return zeroOrNot(gate, t, zero);
            t.outside = true; // neither passing: nothing lies outside 0..max
            push(gate, t);
            return;
        }
        if (!source(side, t)) return;
        constexpr std::uint32_t max = 0xFFFFFFFF;
        switch (code) {
        // < 0 and > max are never true: outside 0..max.
        case Code::Less: t.high = k - 1, t.outside = k == 0; break;
        case Code::LessEqual: t.high = k; break;
        case Code::Greater: t.low = k + 1, t.outside = k == max; break;
        case Code::GreaterEqual: t.low = k; break;
        case Code::Equal: t.low = t.high = k; break;
        default: t.low = t.high = k, t.outside = true; break;
        }
        push(gate, t);
    }

    const Expression& e;
    std::array<std::size_t, maxSteps> start{};
};

StopGate Expression::gate() const {
    StopGate gate;
    GateFinder(*this).gather(gate);
    return gate;
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
