#pragma once

#include "cpu/StopGate.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

struct Labels;

// A debugger expression over the processor's registers, flags and memory, as typed for a
// conditional breakpoint or trace: "a==3 && [0400]>7f", "pc<f900", "{sp+1}==delay+3".
//
//   a b x sp pc cc        the registers
//   c v z n i h           the flags, 0 or 1
//   [E]  {E}              the byte at E; the word at E and E+1, high byte first (addresses
//                         are taken modulo 65536)
//   name                  a label of the listing: its address
//   f812 $f812 0xf812     hexadecimal; #100 is decimal. A register, flag or label name wins
//                         over hexadecimal: b is register B, 0b is eleven
//   ! ~ -  * / %  + -  << >>  < <= > >=  == !=  &  ^  |  &&  ||  ( )
//                         C's operators with C's precedence, on unsigned 32-bit values that
//                         wrap. Division and remainder by zero give 0, and so do shifts by
//                         32 or more; comparisons, ! && and || give 0 or 1
//
// Names and hex digits may be in either case. compile (main thread; it may allocate) turns
// the text into a program of at most maxSteps postfix steps, held in the object itself;
// evaluate runs it with no allocation, no lock and no exception, so that the audio thread
// can test a condition before every instruction. Memory is read without bumping its heat.
class Expression {
  public:
    static constexpr std::size_t maxSteps = 64;
    // Parentheses, brackets and unary operators inside one another.
    static constexpr std::size_t maxNesting = 32;

    // Compiles text, with labels (when not null) naming addresses. On success out holds the
    // program; otherwise out is left as it was and error says, in one line, what is wrong
    // and where ("unknown name 'qq' at column 5").
    static bool compile(std::string_view text, const Labels* labels, Expression& out,
                        std::string& error);

    // The value of the expression for cpu's registers and memory; 0 when empty.
    std::uint32_t evaluate(const Mc6802& cpu) const noexcept;

    // Nothing compiled into it yet.
    bool empty() const { return count == 0; }

    // Tests that must all pass for the value to be non-zero, so that a breakpoint's condition
    // can be ruled out without leaving the run loop: the comparisons of a register, a flag,
    // [N] or {N} (masked by & M or not) with a number that the whole is the && of, with ! over
    // || and comparisons read as && of the opposites. Anything else adds no test; past
    // StopGate::maxTests the rest are left out. An empty expression gives an open gate.
    StopGate gate() const;

  private:
    class Compiler;
    class GateFinder;

    // clang-format off
    enum class Code : std::uint8_t {
        // Push a value.
        Number, A, B, X, SP, PC, CC, Flag,
        // Replace the top value.
        Byte, Word, Not, Complement, Negate,
        // Go on after step value when the top value decides && (zero) or || (non-zero).
        SkipIfZero, SkipIfNonZero,
        // Replace the two top values by one.
        Multiply, Divide, Remainder, Add, Subtract, ShiftLeft, ShiftRight, Less, LessEqual,
        Greater, GreaterEqual, Equal, NotEqual, BitAnd, BitXor, BitOr, LogicalAnd, LogicalOr
    };
    // clang-format on
    struct Step {
        Code code;
        std::uint32_t value; // the number, or the flag's bit in CC
    };

    std::array<Step, maxSteps> steps{};
    std::size_t count = 0;
};

// A compiled condition is handed to the audio thread by copying it.
static_assert(std::is_trivially_copyable_v<Expression>);
