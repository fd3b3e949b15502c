// Fuzzes the disassembler: the input is a start address and the bytes from there on
// (wrapping at 0xFFFF); a listing is walked through them as the debugger screen does. Every
// line must be a NUL-terminated text of at most 11 characters whose operand shows the
// instruction's bytes, and the next address must lie 1 to 3 bytes on.
#include "cpu/Mc6802.h"
#include "cpu/OpcodeTable.h"
#include "fuzz/FuzzInput.h"

#include <array>
#include <cstring>
#include <memory>

namespace {

std::array<std::uint8_t, Mc6802::memorySize> memory;

void checkLine(std::uint16_t address, const char* text, std::uint32_t next) {
    const std::size_t length = std::strlen(text); // the buffer is exactly 12: ASan sees overreads
    FUZZ_CHECK(length >= 3 && length <= 11);
    for (std::size_t i = 0; i < length; ++i)
        FUZZ_CHECK(text[i] >= ' ' && text[i] <= '~');

    const std::uint8_t opcode = memory[address];
    const OpcodeInfo& info = opcodeTable[opcode];
    const std::uint32_t expectedLength = info.listed ? info.length() : 1;
    FUZZ_CHECK(next >= address + 1u && next <= address + 3u);
    FUZZ_CHECK(next == address + expectedLength);
    if (!info.listed) {
        char expected[12];
        std::snprintf(expected, sizeof expected, "? op: %02x", opcode);
        FUZZ_CHECK(std::strcmp(text, expected) == 0);
        return;
    }
    FUZZ_CHECK(std::strncmp(text, info.mnemonic, std::strlen(info.mnemonic)) == 0);
    if (info.mode == AddrMode::Inherent) {
        FUZZ_CHECK(length == std::strlen(info.mnemonic));
        return;
    }
    // The operand starts at column 5 and shows the operand bytes in lower-case hex.
    FUZZ_CHECK(length > 5);
    const char* operand = text + 5;
    if (*operand == '#') ++operand;
    FUZZ_CHECK(*operand == '$');
    unsigned value = 0;
    int digits = 0;
    FUZZ_CHECK(std::sscanf(operand + 1, "%x%n", &value, &digits) == 1);
    const std::uint8_t byte1 = memory[static_cast<std::uint16_t>(address + 1)];
    const std::uint8_t byte2 = memory[static_cast<std::uint16_t>(address + 2)];
    if (info.length() == 3) {
        FUZZ_CHECK(digits == 4 && value == (unsigned{byte1} << 8 | byte2));
    } else {
        FUZZ_CHECK(digits == 2 && value == byte1);
    }
    const char* rest = operand + 1 + digits;
    FUZZ_CHECK(std::strcmp(rest, info.mode == AddrMode::Indexed ? ",x" : "") == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    memory.fill(in.u8());
    const std::uint16_t start = in.u16();
    std::uint16_t at = start;
    while (!in.empty())
        memory[at++] = in.u8();

    Mc6802 cpu;
    cpu.memory = memory.data();
    const auto before = memory;
    const auto text = std::make_unique<char[]>(12);

    std::uint16_t address = start;
    for (int line = 0; line < 80; ++line) {
        std::memset(text.get(), 'X', 12);
        const std::uint32_t next = cpu.disassemble(address, text.get());
        FUZZ_CHECK(std::memchr(text.get(), '\0', 12) != nullptr);
        checkLine(address, text.get(), next);
        address = static_cast<std::uint16_t>(next);
    }
    FUZZ_CHECK(memory == before);
    return 0;
}
