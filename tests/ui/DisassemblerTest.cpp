#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Line {
    std::string text;
    std::uint32_t next;
};

Line disassembleAt(const Machine& m, std::uint16_t address) {
    char text[12];
    std::memset(text, '#', sizeof text); // catches a missing terminator
    const std::uint32_t next = m.cpu.disassemble(address, text);
    EXPECT_NE(std::memchr(text, '\0', sizeof text), nullptr);
    return {text, next};
}

// Every opcode the listing knows, as it reads with the operand bytes 0xA5 0x3C.
struct Expected {
    std::uint8_t opcode;
    const char* text;
    std::uint32_t length;
};
constexpr Expected kListing[] = {
    {0x01, "nop", 1},         {0x07, "tpa", 1},         {0x08, "inx", 1},
    {0x09, "dex", 1},         {0x0C, "clc", 1},         {0x0E, "cli", 1},
    {0x0F, "sei", 1},         {0x10, "sba", 1},         {0x16, "tab", 1},
    {0x17, "tba", 1},         {0x1B, "aba", 1},         {0x20, "bra  $a5", 2},
    {0x22, "bhi  $a5", 2},    {0x23, "bls  $a5", 2},    {0x24, "bcc  $a5", 2},
    {0x25, "bcs  $a5", 2},    {0x26, "bne  $a5", 2},    {0x27, "beq  $a5", 2},
    {0x2A, "bpl  $a5", 2},    {0x2B, "bmi  $a5", 2},    {0x32, "pula", 1},
    {0x36, "psha", 1},        {0x39, "rts", 1},         {0x3B, "rti", 1},
    {0x40, "nega", 1},        {0x43, "coma", 1},        {0x44, "lsra", 1},
    {0x46, "rora", 1},        {0x48, "asla", 1},        {0x4A, "deca", 1},
    {0x4C, "inca", 1},        {0x4D, "tsta", 1},        {0x4F, "clra", 1},
    {0x50, "negb", 1},        {0x53, "comb", 1},        {0x54, "lsrb", 1},
    {0x56, "rorb", 1},        {0x58, "aslb", 1},        {0x5A, "decb", 1},
    {0x5C, "incb", 1},        {0x5D, "tstb", 1},        {0x5F, "clrb", 1},
    {0x60, "neg  $a5,x", 2},  {0x66, "ror  $a5,x", 2},  {0x6A, "dec  $a5,x", 2},
    {0x6E, "jmp  $a5,x", 2},  {0x6F, "clr  $a5,x", 2},  {0x70, "neg  $a53c", 3},
    {0x73, "com  $a53c", 3},  {0x74, "lsr  $a53c", 3},  {0x76, "ror  $a53c", 3},
    {0x7A, "dec  $a53c", 3},  {0x7C, "inc  $a53c", 3},  {0x7D, "tst  $a53c", 3},
    {0x7E, "jmp  $a53c", 3},  {0x7F, "clr  $a53c", 3},  {0x80, "suba #$a5", 2},
    {0x81, "cmpa #$a5", 2},   {0x82, "sbca #$a5", 2},   {0x84, "anda #$a5", 2},
    {0x86, "ldaa #$a5", 2},   {0x88, "eora #$a5", 2},   {0x89, "adca #$a5", 2},
    {0x8B, "adda #$a5", 2},   {0x8C, "cpx  #$a53c", 3}, {0x8D, "bsr  $a5", 2},
    {0x8E, "lds  #$a53c", 3}, {0x90, "suba $a5", 2},    {0x91, "cmpa $a5", 2},
    {0x92, "sbca $a5", 2},    {0x94, "anda $a5", 2},    {0x96, "ldaa $a5", 2},
    {0x97, "staa $a5", 2},    {0x98, "eora $a5", 2},    {0x99, "adca $a5", 2},
    {0x9A, "ora  $a5", 2},    {0x9B, "adda $a5", 2},    {0x9C, "cpx  $a5", 2},
    {0xA2, "sbca $a5,x", 2},  {0xA4, "anda $a5,x", 2},  {0xA6, "ldaa $a5,x", 2},
    {0xA7, "staa $a5,x", 2},  {0xA8, "eora $a5,x", 2},  {0xAB, "adda $a5,x", 2},
    {0xAD, "jsr  $a5,x", 2},  {0xB2, "sbca $a53c", 3},  {0xB4, "anda $a53c", 3},
    {0xB6, "ldaa $a53c", 3},  {0xB7, "staa $a53c", 3},  {0xB8, "eora $a53c", 3},
    {0xBD, "jsr  $a53c", 3},  {0xC1, "cmpb #$a5", 2},   {0xC2, "sbcb #$a5", 2},
    {0xC6, "ldab #$a5", 2},   {0xC8, "eorb #$a5", 2},   {0xCB, "addb #$a5", 2},
    {0xCE, "ldx  #$a53c", 3}, {0xD0, "subb $a5", 2},    {0xD1, "cmpb $a5", 2},
    {0xD2, "sbcb $a5", 2},    {0xD4, "andb $a5", 2},    {0xD6, "ldab $a5", 2},
    {0xD7, "stab $a5", 2},    {0xD8, "eorb $a5", 2},    {0xDB, "addb $a5", 2},
    {0xDE, "ldx  $a5", 2},    {0xDF, "stx  $a5", 2},    {0xE2, "sbcb $a5,x", 2},
    {0xE4, "andb $a5,x", 2},  {0xE6, "ldab $a5,x", 2},  {0xE7, "stab $a5,x", 2},
    {0xE8, "eorb $a5,x", 2},  {0xEE, "ldx  $a5,x", 2},  {0xF2, "sbcb $a53c", 3},
    {0xF4, "andb $a53c", 3},  {0xF6, "ldab $a53c", 3},  {0xF7, "stab $a53c", 3},
    {0xF8, "eorb $a53c", 3},
};

} // namespace

TEST(Disassembler, EveryKnownOpcodeReadsAsListed) {
    ASSERT_EQ(std::size(kListing), 118u);
    Machine m;
    for (const Expected& e : kListing) {
        m.load(0x4000, {e.opcode, 0xA5, 0x3C});
        const Line line = disassembleAt(m, 0x4000);
        EXPECT_EQ(line.text, e.text) << "opcode " << int{e.opcode};
        EXPECT_EQ(line.next, 0x4000u + e.length) << "opcode " << int{e.opcode};
        EXPECT_LE(line.text.size(), 11u);
    }
}

TEST(Disassembler, EveryOtherByteIsAOneBytePlaceholder) {
    std::array<bool, 256> known{};
    for (const Expected& e : kListing)
        known[e.opcode] = true;
    Machine m;
    int placeholders = 0;
    for (int op = 0; op < 256; ++op) {
        if (known[op]) continue;
        ++placeholders;
        m.load(0x2000, {static_cast<std::uint8_t>(op), 0x86, 0x01});
        char expected[12];
        std::snprintf(expected, sizeof expected, "? op: %02x", op);
        const Line line = disassembleAt(m, 0x2000);
        EXPECT_EQ(line.text, expected);
        EXPECT_EQ(line.next, 0x2001u);
    }
    EXPECT_EQ(placeholders, 138);
}

TEST(Disassembler, ExamplesFromTheListing) {
    Machine m;
    struct Case {
        std::initializer_list<std::uint8_t> bytes;
        const char* text;
        std::uint32_t length;
    };
    const Case cases[] = {
        {{0x86, 0x3F}, "ldaa #$3f", 2},         // ldaa #$3f
        {{0xCE, 0xF8, 0x00}, "ldx  #$f800", 3}, // ldx #$f800
        {{0x6E, 0x00}, "jmp  $00,x", 2},        // jmp 0,x
        {{0x7E, 0xF8, 0x01}, "jmp  $f801", 3},  // jmp $f801
        {{0x96, 0x10}, "ldaa $10", 2},          // ldaa $10
        {{0x99, 0x10}, "adca $10", 2},          // adca $10
        {{0x98, 0x10}, "eora $10", 2},          // eora $10
        {{0x9A, 0x10}, "ora  $10", 2},          // oraa $10, listed with three letters
        {{0x00}, "? op: 00", 1},
        {{0xFF}, "? op: ff", 1},
        {{0x26, 0xF0}, "bne  $f0", 2}, // raw displacement, no target
        {{0x20, 0xFE}, "bra  $fe", 2}, // branch to itself
        {{0x8D, 0x10}, "bsr  $10", 2},
        {{0x8E, 0x00, 0x7F}, "lds  #$007f", 3},
        {{0x39}, "rts", 1},
    };
    for (const Case& c : cases) {
        m.load(0xF900, c.bytes);
        const Line line = disassembleAt(m, 0xF900);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.next, 0xF900u + c.length) << c.text;
    }
}

// andb # is executed but not listed: the listing treats it as one byte and goes on
// at its operand.
TEST(Disassembler, AndbImmediateIsShownAsUnknownAndTheListingResumesAtItsOperand) {
    Machine m;
    m.load(0xF800, {0xC4, 0x0F}); // andb #$0f
    const Line first = disassembleAt(m, 0xF800);
    EXPECT_EQ(first.text, "? op: c4");
    EXPECT_EQ(first.next, 0xF801u);
    EXPECT_EQ(disassembleAt(m, 0xF801).text, "sei"); // the operand byte 0x0f
}

TEST(Disassembler, OperandsWrapAndTheNextAddressIsNotReduced) {
    Machine m;
    m.memory[0xFFFF] = 0x86; // ldaa #$5a, operand at 0x0000
    m.memory[0x0000] = 0x5A;
    Line line = disassembleAt(m, 0xFFFF);
    EXPECT_EQ(line.text, "ldaa #$5a");
    EXPECT_EQ(line.next, 0x10001u);

    m.memory[0xFFFE] = 0xCE; // ldx #$ab5a, high byte at 0xFFFF, low at 0x0000
    m.memory[0xFFFF] = 0xAB;
    line = disassembleAt(m, 0xFFFE);
    EXPECT_EQ(line.text, "ldx  #$ab5a");
    EXPECT_EQ(line.next, 0x10001u);

    m.memory[0xFFFF] = 0x01; // nop
    EXPECT_EQ(disassembleAt(m, 0xFFFF).next, 0x10000u);
}

// The listing is drawn while the processor runs: it must not disturb anything.
TEST(Disassembler, ChangesNoRegisterHeatOrMemory) {
    Machine m;
    for (int i = 0; i < 0x10000; ++i) {
        m.memory[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        m.heat[i] = static_cast<std::uint32_t>(i % 101);
    }
    m.cpu.A = 0x11;
    m.cpu.B = 0x22;
    m.cpu.CC = 0xC5;
    m.cpu.X = 0x3344;
    m.cpu.PC = 0x5566;
    m.cpu.SP = 0x7788;
    m.cpu.cycleCount = 99;
    const std::vector<std::uint8_t> memoryBefore = m.memory;
    const std::vector<std::uint32_t> heatBefore = m.heat;

    for (std::uint32_t address = 0; address < 0x10000; ++address) {
        char text[12];
        const std::uint32_t next = m.cpu.disassemble(static_cast<std::uint16_t>(address), text);
        ASSERT_GE(next, address + 1);
        ASSERT_LE(next, address + 3);
    }
    EXPECT_EQ(m.memory, memoryBefore);
    EXPECT_EQ(m.heat, heatBefore);
    EXPECT_EQ(m.cpu.A, 0x11);
    EXPECT_EQ(m.cpu.B, 0x22);
    EXPECT_EQ(m.cpu.CC, 0xC5);
    EXPECT_EQ(m.cpu.X, 0x3344);
    EXPECT_EQ(m.cpu.PC, 0x5566);
    EXPECT_EQ(m.cpu.SP, 0x7788);
    EXPECT_EQ(m.cpu.cycleCount, 99u);
}

// The debugger steps over what the listing shows: for every listed instruction that does
// not load PC itself, the listing's length must match how far a step moves PC, and the
// listing must name the instruction the processor executes.
TEST(Disassembler, LengthsAndNamesAgreeWithExecution) {
    int checked = 0;
    for (int op = 0; op < 256; ++op) {
        const OpcodeInfo& info = opcodeTable[op];
        if (!info.listed || info.setsPc) continue;
        Machine m;
        m.cpu.X = 0x0100;
        m.cpu.SP = 0x007F;
        m.program(0x0300, {static_cast<std::uint8_t>(op), 0x12, 0x34});
        char text[12];
        const std::uint32_t next = m.cpu.disassemble(0x0300, text);
        EXPECT_TRUE(m.cpu.step());
        EXPECT_EQ(next, m.cpu.PC) << text;
        const std::string mnemonic = std::string(text).substr(0, std::strcspn(text, " "));
        EXPECT_EQ(mnemonic, info.mnemonic);
        ++checked;
    }
    EXPECT_EQ(checked, 118 - 16);
}

// An independent disassembler (binutils for the 68HC11, whose encodings of the 6800
// opcodes are the same) must find the same instruction boundaries in a run of every
// listed opcode. Skipped where that tool is not installed.
TEST(Disassembler, BoundariesAgreeWithBinutils) {
    if (std::system("command -v m68hc11-objdump >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "m68hc11-objdump not installed";
    Machine m;
    std::vector<std::uint32_t> starts;
    std::uint32_t address = 0xF800;
    for (const Expected& e : kListing) {
        m.load(static_cast<std::uint16_t>(address), {e.opcode, 0x01, 0x01});
        starts.push_back(address);
        char text[12];
        address = m.cpu.disassemble(static_cast<std::uint16_t>(address), text);
    }
    const std::string image = ::testing::TempDir() + "hummbox_listing.bin";
    {
        std::FILE* f = std::fopen(image.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(m.memory.data() + 0xF800, 1, address - 0xF800, f);
        std::fclose(f);
    }
    const std::string command =
        "m68hc11-objdump -D -b binary -m m68hc11 --adjust-vma=0xf800 " + image;
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::uint32_t> found;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        unsigned at = 0;
        if (std::sscanf(line, " %x:", &at) == 1 && std::strchr(line, '\t')) found.push_back(at);
    }
    pclose(pipe);
    std::remove(image.c_str());
    EXPECT_EQ(found, starts);
}
