// Fuzzes the debugger's expressions on a board with random memory: the input's first 9 bytes
// set the registers (A, B, CC, X, SP, PC), the rest is the text. Any text either compiles or
// is refused with one short line; a compiled one evaluates the same twice, in parentheses and
// negated, reading memory without changing it or its heat, and its gate is open whenever its
// value is not 0 (a closed gate would let the run loop pass a breakpoint that should stop).
#include "cpu/Board.h"
#include "debug/Expression.h"
#include "debug/Labels.h"
#include "fuzz/FuzzInput.h"

#include <string>
#include <string_view>
#include <vector>

namespace {
Board board;
const Labels labels{{{0x0400, "dac"}, {0xF800, "reset"}, {0xF84A, "delay"}, {0xFFF8, "irq.vec"}},
                    {}};
const std::vector<std::uint8_t> memory = [] {
    std::uint32_t seed = 6802;
    for (std::uint8_t& byte : board.memory) { // xorshift
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        byte = static_cast<std::uint8_t>(seed);
    }
    return board.memory;
}();
const std::vector<std::uint32_t> heat(Mc6802::memorySize, 0);
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    board.setState({in.u8(), in.u8(), in.u8(), in.u16(), in.u16(), in.u16()});
    Mc6802& cpu = board.cpu;
    const std::string_view text(reinterpret_cast<const char*>(data + in.pos), size - in.pos);

    Expression e;
    std::string error;
    if (!Expression::compile(text, &labels, e, error)) {
        FUZZ_CHECK(e.empty() && !error.empty() && error.size() <= 80);
        FUZZ_CHECK(error.find('\n') == std::string::npos);
        return 0;
    }
    FUZZ_CHECK(!e.empty());
    const std::uint32_t value = e.evaluate(cpu);
    FUZZ_CHECK(e.evaluate(cpu) == value);
    FUZZ_CHECK(value == 0 || e.gate().open(cpu));
    Expression again;
    if (Expression::compile("(" + std::string(text) + ")", &labels, again, error))
        FUZZ_CHECK(again.evaluate(cpu) == value);
    if (Expression::compile("-(" + std::string(text) + ")", &labels, again, error))
        FUZZ_CHECK(again.evaluate(cpu) == 0u - value);
    FUZZ_CHECK(board.memory == memory && board.heat == heat);
    return 0;
}
