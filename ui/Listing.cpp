#include "ui/Listing.h"

#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"
#include "debug/Labels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Where the relative branch at address goes, or -1 when the instruction there is none.
std::int32_t branchTarget(const Mc6802& cpu, std::uint16_t address) {
    const std::uint8_t opcode = cpu.memory[address];
    const OpcodeInfo& info = opcodeTableFor(cpu.instructionSet)[opcode];
    if (!info.listed || info.mode != AddrMode::Relative) return -1;
    const auto offset =
        static_cast<std::int8_t>(cpu.memory[static_cast<std::uint16_t>(address + 1)]);
    return static_cast<std::uint16_t>(address + 2 + offset);
}

constexpr int mostBefore = 16;
constexpr std::uint16_t farthestLabel = 512; // a label further back than this is no help

// The rows from `from` on, while they lie before pc: true when one of them starts exactly
// at pc; starts then holds the last rows' addresses (rows of them, at most mostBefore).
bool walk(const Mc6802& cpu, const Labels* labels, std::uint16_t from, std::uint16_t pc,
          std::array<std::uint16_t, mostBefore>& starts, int& rows) {
    const auto distance = static_cast<std::uint16_t>(pc - from);
    char text[64];
    rows = 0;
    std::uint16_t address = from;
    for (std::uint16_t offset = 0; offset < distance;) {
        starts[static_cast<std::size_t>(rows % mostBefore)] = address;
        ++rows;
        address = Listing::row(cpu, labels, address, text, 12);
        const auto next = static_cast<std::uint16_t>(address - from);
        if (next <= offset) return false; // ran round past 0xFFFF
        offset = next;
    }
    return address == pc;
}

std::uint16_t rowsBack(const std::array<std::uint16_t, mostBefore>& starts, int rows, int before) {
    return starts[static_cast<std::size_t>((rows - std::min(rows, before)) % mostBefore)];
}

} // namespace

std::uint16_t Listing::row(const Mc6802& cpu, const Labels* labels, std::uint16_t address,
                           char* text, std::size_t columns) {
    std::memset(text, ' ', 12);
    text[12] = '\0';
    if (labels != nullptr) {
        const std::int32_t next = labels->dataRow(address, cpu.memory, text, columns);
        if (next >= 0) return static_cast<std::uint16_t>(next);
    }
    const auto next = static_cast<std::uint16_t>(cpu.disassemble(address, text));
    if (labels != nullptr) labels->labelOperand(text, columns, branchTarget(cpu, address));
    return next;
}

std::uint16_t Listing::startBefore(const Mc6802& cpu, const Labels* labels, bool labelled,
                                   std::uint16_t pc, int before) {
    before = std::clamp(before, 0, mostBefore);
    if (before == 0) return pc;
    const Labels* shown = labelled ? labels : nullptr;
    std::array<std::uint16_t, mostBefore> starts{};
    int rows = 0;
    if (labels != nullptr) {
        // Labels below pc, nearest first, until one's rows lead to pc with enough of them.
        const auto& e = labels->entries;
        auto it = std::upper_bound(
            e.begin(), e.end(), pc,
            [](std::uint16_t a, const Labels::Entry& entry) { return a < entry.address; });
        std::int32_t fewer = -1; // a start with fewer rows than asked for
        for (; it != e.begin() && pc - std::prev(it)->address <= farthestLabel; --it) {
            if (!walk(cpu, shown, std::prev(it)->address, pc, starts, rows) || rows == 0) continue;
            if (rows >= before) return rowsBack(starts, rows, before);
            if (fewer < 0) fewer = std::prev(it)->address;
        }
        if (fewer >= 0) return static_cast<std::uint16_t>(fewer);
    }
    // Rows of at most three bytes: from this far back a walk that lands on pc has had room
    // to fall into step with the instructions.
    for (int back = 3 * before + 6; back > 0; --back)
        if (walk(cpu, shown, static_cast<std::uint16_t>(pc - back), pc, starts, rows))
            return rowsBack(starts, rows, before);
    return pc;
}
