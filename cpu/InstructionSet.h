#pragma once

#include <cstdint>
#include <string_view>

// Which opcodes the processor executes, and by which flag rules: the board's 119 opcodes with
// its own rules, or all 197 of the MC6800 with the published rules and cycle counts.
enum class InstructionSet : std::uint8_t { Board, Complete };

// "board" or "complete".
const char* instructionSetName(InstructionSet set);
// The set named name, as instructionSetName spells it; false, set unchanged, for any other.
bool parseInstructionSet(std::string_view name, InstructionSet& set);
