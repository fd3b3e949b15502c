#include "debug/Expression.h"
#include "cpu/Board.h"
#include "debug/Labels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <random>
#include <string>
#include <string_view>

namespace {

using u32 = std::uint32_t;

// C's binary operators, level 1 binding loosest, applied by C++ itself.
struct BinaryOp {
    const char* text;
    int level;
    u32 (*apply)(u32, u32);
};
const BinaryOp binaryOps[] = {
    {"||", 1, [](u32 l, u32 r) -> u32 { return l || r; }},
    {"&&", 2, [](u32 l, u32 r) -> u32 { return l && r; }},
    {"|", 3, [](u32 l, u32 r) -> u32 { return l | r; }},
    {"^", 4, [](u32 l, u32 r) -> u32 { return l ^ r; }},
    {"&", 5, [](u32 l, u32 r) -> u32 { return l & r; }},
    {"==", 6, [](u32 l, u32 r) -> u32 { return l == r; }},
    {"!=", 6, [](u32 l, u32 r) -> u32 { return l != r; }},
    {"<", 7, [](u32 l, u32 r) -> u32 { return l < r; }},
    {"<=", 7, [](u32 l, u32 r) -> u32 { return l <= r; }},
    {">", 7, [](u32 l, u32 r) -> u32 { return l > r; }},
    {">=", 7, [](u32 l, u32 r) -> u32 { return l >= r; }},
    {"<<", 8, [](u32 l, u32 r) -> u32 { return r >= 32 ? 0 : l << r; }},
    {">>", 8, [](u32 l, u32 r) -> u32 { return r >= 32 ? 0 : l >> r; }},
    {"+", 9, [](u32 l, u32 r) -> u32 { return l + r; }},
    {"-", 9, [](u32 l, u32 r) -> u32 { return l - r; }},
    {"*", 10, [](u32 l, u32 r) -> u32 { return l * r; }},
    {"/", 10, [](u32 l, u32 r) -> u32 { return r == 0 ? 0 : l / r; }},
    {"%", 10, [](u32 l, u32 r) -> u32 { return r == 0 ? 0 : l % r; }},
};
constexpr int operandLevel = 11;

// An expression written twice, every operation in parentheses and with only those that C's
// precedence needs, and its value worked out alongside.
struct Generated {
    std::string full, minimal;
    u32 value;
    int level; // of its outermost binary operator; operandLevel when there is none
};

struct Generator {
    std::mt19937 rng{6802};
    Board board;
    Labels labels;

    u32 pick(u32 n) { return static_cast<u32>(rng() % n); }
    std::string mixedCase(std::string s) {
        for (char& c : s)
            if (pick(2) != 0) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }
    Generated leaf(const std::string& text, u32 value) { return {text, text, value, operandLevel}; }

    Generated operand() {
        const Mc6802& c = board.cpu;
        const std::pair<const char*, u32> registers[] = {{"a", c.A},   {"b", c.B},   {"x", c.X},
                                                         {"sp", c.SP}, {"pc", c.PC}, {"cc", c.CC}};
        const u32 numbers[] = {0, 1, 2, 7, 31, 32, 33, 0xFF, 0xFFFF, 0xFFFFFFFF, u32(rng())};
        switch (pick(5)) {
        case 0: {
            const auto& [name, value] = registers[pick(6)];
            return leaf(mixedCase(name), value);
        }
        case 1: {
            const u32 bit = pick(6);
            return leaf(mixedCase(std::string(1, "cvznih"[bit])), c.CC >> bit & 1);
        }
        case 2: {
            const Labels::Entry& e = labels.entries[pick(u32(labels.entries.size()))];
            return leaf(mixedCase(e.name), e.address);
        }
        default: {
            const u32 value = numbers[pick(std::size(numbers))];
            const char* formats[] = {"0%x", "$%x", "0x%x", "#%u"};
            char text[16];
            std::snprintf(text, sizeof text, formats[pick(4)], value);
            return leaf(mixedCase(text), value);
        }
        }
    }

    Generated expression(int depth) {
        if (depth == 0 || pick(4) == 0) return operand();
        const std::string sp = pick(3) == 0 ? " " : "";
        if (pick(4) == 0) {
            const Generated e = expression(depth - 1);
            const std::string inner = e.level < operandLevel ? "(" + e.minimal + ")" : e.minimal;
            const u32 v = e.value;
            switch (pick(5)) {
            case 0: return {"!" + e.full, "!" + inner, v == 0, operandLevel};
            case 1: return {"~" + e.full, "~" + inner, ~v, operandLevel};
            case 2: return {"-" + e.full, "-" + sp + inner, 0u - v, operandLevel};
            case 3:
                return {"[" + e.full + "]", "[" + e.minimal + "]", board.memory[v & 0xFFFF],
                        operandLevel};
            default:
                return {"{" + e.full + "}", "{" + sp + e.minimal + "}",
                        u32(board.memory[v & 0xFFFF] << 8 | board.memory[(v + 1) & 0xFFFF]),
                        operandLevel};
            }
        }
        const BinaryOp& op = binaryOps[pick(std::size(binaryOps))];
        const Generated l = expression(depth - 1), r = expression(depth - 1);
        const std::string lm = l.level < op.level ? "(" + l.minimal + ")" : l.minimal;
        const std::string rm = r.level <= op.level ? "(" + r.minimal + ")" : r.minimal;
        return {"(" + l.full + op.text + r.full + ")", lm + sp + op.text + sp + rm,
                op.apply(l.value, r.value), op.level};
    }

    // What a gate takes in full: a register, flag, [N], {N} or one of them & M, compared
    // with a number near its value from either side, or alone; perhaps under !.
    std::string comparison() {
        const Mc6802& c = board.cpu;
        const auto hex = [](u32 n) {
            char text[16];
            std::snprintf(text, sizeof text, "0%x", n);
            return std::string(text);
        };
        const u32 at = pick(0x10000);
        const std::pair<std::string, u32> sources[] = {
            {"a", c.A},
            {"b", c.B},
            {"x", c.X},
            {"sp", c.SP},
            {"pc", c.PC},
            {"cc", c.CC},
            {"z", c.CC >> 2 & 1},
            {std::string(1, '[').append(hex(at)).append("]"), board.memory[at]},
            {std::string(1, '{').append(hex(at)).append("}"),
             u32(board.memory[at] << 8 | board.memory[(at + 1) & 0xFFFF])}};
        auto [text, v] = sources[pick(std::size(sources))];
        if (pick(4) == 0 && text != "z") {
            const u32 mask = pick(3) * 0x55;
            text = std::string(1, '(').append(text).append("&").append(hex(mask)).append(")");
            v &= mask;
        }
        const u32 numbers[] = {v, v - 1, v + 1, 0, 1, 2, 0xFFFFFFFF, u32(rng())};
        const std::string k = hex(numbers[pick(std::size(numbers))]);
        const std::string op = std::array{"==", "!=", "<", "<=", ">", ">="}[pick(6)];
        const std::string compared = pick(7) == 0 ? text : pick(2) ? text + op + k : k + op + text;
        return pick(3) == 0 ? std::string("!(").append(compared).append(")") : compared;
    }
};

} // namespace

// Random expressions of up to 63 steps, over every operand, notation and operator, come out
// as C++ computes them, whether fully parenthesized or leaning on precedence and
// associativity; reading memory leaves no heat.
TEST(Expression, RandomExpressionsAgreeWithCpp) {
    Generator g;
    g.labels.entries = {{0x0400, "dac.port"}, {0x1234, "beef"}, {0xF84A, "delay"}};
    std::generate(g.board.memory.begin(), g.board.memory.end(), [&] { return g.rng(); });
    for (int i = 0; i < 4000; ++i) {
        Mc6802& c = g.board.cpu;
        c.A = u32(g.rng()), c.B = u32(g.rng()), c.CC = u32(g.rng()) & 0x3F;
        c.X = u32(g.rng()), c.SP = u32(g.rng()), c.PC = u32(g.rng());
        const Generated e = g.expression(5);
        for (const std::string& text : {e.full, e.minimal}) {
            Expression compiled;
            std::string error;
            ASSERT_TRUE(Expression::compile(text, &g.labels, compiled, error)) << text << error;
            ASSERT_EQ(compiled.evaluate(c), e.value) << text;
            ASSERT_TRUE(e.value == 0 || compiled.gate().open(c)) << text; // never closed wrongly
        }
    }
    EXPECT_TRUE(
        std::all_of(g.board.heat.begin(), g.board.heat.end(), [](u32 h) { return h == 0; }));
}

// Up to four comparisons joined by && (or negated and joined by || under !) decide the
// gate exactly: it is open just when the expression holds.
TEST(Expression, GateOfComparisonsIsExact) {
    Generator g;
    std::generate(g.board.memory.begin(), g.board.memory.end(), [&] { return g.rng() % 4; });
    for (int i = 0; i < 20000; ++i) {
        Mc6802& c = g.board.cpu;
        c.A = u32(g.rng() % 4), c.B = u32(g.rng()), c.CC = u32(g.rng()) & 0x3F;
        c.X = u32(g.rng() % 3), c.SP = u32(g.rng()), c.PC = u32(g.rng());
        const bool negated = g.pick(3) == 0;
        const auto term = [&] { return negated ? "!(" + g.comparison() + ")" : g.comparison(); };
        std::string text = term();
        for (u32 n = g.pick(StopGate::maxTests); n > 0; --n)
            text += (negated ? " || " : " && ") + term();
        if (negated) text = "!(" + text + ")";
        Expression e;
        std::string error;
        ASSERT_TRUE(Expression::compile(text, nullptr, e, error)) << text << error;
        ASSERT_EQ(e.gate().open(c), e.evaluate(c) != 0) << text;
    }
}

// A register, flag or label name wins over hexadecimal, in any case; the word read wraps.
TEST(Expression, NamesBeforeHexAndEveryNotation) {
    Board board;
    Mc6802& c = board.cpu;
    c.A = 0x12, c.B = 0x34, c.X = 0x5678, c.SP = 0x007F, c.PC = 0xF812, c.CC = 0x2A;
    board.memory[0xFFFF] = 0xAB, board.memory[0x0000] = 0xCD, board.memory[0x0400] = 0x7F;
    Labels labels;
    labels.entries = {{0x1234, "beef"}, {0xF84A, "delay"}};
    const std::pair<const char*, u32> cases[] = {
        // clang-format off
        {"b", 0x34},           {"0b", 0x0B},           {"c", 0},           {"0c", 0x0C},
        {"$F812", 0xF812},     {"0XF812", 0xF812},     {"f812", 0xF812},   {"#100", 100},
        {"DELAY+3", 0xF84D},   {"beef", 0x1234},       {"0beef", 0xBEEF},  {"{ffff}", 0xABCD},
        {"[10400]", 0x7F},     {"#4294967295+1", 0},   {"\t-1 ", 0xFFFFFFFF},
        {"h*#32+i*#16+n*8+z*4+v*2+c", 0x2A},
        {"A+Sp+pC+cC+x", 0x12 + 0x7F + 0xF812 + 0x2A + 0x5678},
    }; // clang-format on
    for (const auto& [text, value] : cases) {
        Expression e;
        std::string error;
        EXPECT_TRUE(Expression::compile(text, &labels, e, error) && !e.empty()) << text << error;
        EXPECT_EQ(e.evaluate(c), value) << text;
    }
}

// A refused text says what and where in one line, and leaves the expression as it was; the
// limits on steps and nesting are exact.
TEST(Expression, RefusesWithWhatAndWhere) {
    Board board;
    board.cpu.A = 0x42;
    std::string a32 = "a"; // 63 steps
    for (int i = 1; i < 32; ++i)
        a32 += "+a";
    const auto nested = [](std::size_t n) {
        return std::string(n, '(') + "a" + std::string(n, ')');
    };
    const std::pair<std::string, std::string> cases[] = {
        {"a + qq", "unknown name 'qq' at column 5"},
        {"(a+1", "expected ')' at the end"},
        {"[1}", "expected ']' at column 3"},
        {"1 2", "unexpected '2' at column 3"},
        {"a\x01", "unexpected character at column 2"},
        {" ", "empty expression"},
        {"1+", "expected a value at the end"},
        {"#12g", "bad number '#12g' at column 1"},
        {"$100000000", "number '$100000000' too large at column 1"},
        {"!!" + a32, "expression too long: more than 64 steps"},
        {nested(Expression::maxNesting), "nested too deeply at column 33"},
    };
    Expression e;
    std::string error;
    ASSERT_TRUE(Expression::compile("a", nullptr, e, error));
    for (const auto& [text, want] : cases) {
        EXPECT_FALSE(Expression::compile(text, nullptr, e, error)) << text;
        EXPECT_EQ(error, want) << text;
        EXPECT_EQ(e.evaluate(board.cpu), 0x42u) << text;
    }
    for (const std::string& text : {"!" + a32, nested(Expression::maxNesting - 1)})
        EXPECT_TRUE(Expression::compile(text, nullptr, e, error)) << error;
}
