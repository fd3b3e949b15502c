#include "cpu/OpcodeTable.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

// A listing that runs off the top: after andb # (executed, but not listed) it resumes at the
// operand byte; operands wrap to 0x0000 and the last next address is not reduced.
TEST(Disassembler, ListingRunsOnAcrossTheTop) {
    Machine m;
    m.load(0xFFF5, {0xCE, 0xF8, 0x00, 0x9A, 0x10, 0xC4, 0x0F, 0x26, 0xF0, 0xCE, 0xAB, 0x5A});
    std::uint32_t address = 0xFFF5;
    char text[12];
    for (const char* expected :
         {"ldx  #$f800", "ora  $10", "? op: c4", "sei", "bne  $f0", "ldx  #$ab5a"}) {
        address = m.cpu.disassemble(static_cast<std::uint16_t>(address), text);
        EXPECT_STREQ(text, expected);
    }
    EXPECT_EQ(address, 0x10001u);
    m.memory[0xFFFF] = 0x86;
    EXPECT_EQ(m.cpu.disassemble(0xFFFF, text), 0x10001u);
    EXPECT_STREQ(text, "ldaa #$5a");
}

// binutils' 68HC11 disassembler (the 6800 encodings are the same) must find the same
// instruction boundaries in a run of every listed opcode. Skipped where it is not installed.
TEST(Disassembler, BoundariesAgreeWithBinutils) {
    if (std::system("command -v m68hc11-objdump >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "m68hc11-objdump not installed";
    Machine m;
    std::vector<std::uint32_t> starts, found;
    std::uint32_t address = 0xF800;
    for (int op = 0; op < 256; ++op) {
        if (!opcodeTable[op].listed) continue;
        m.load(static_cast<std::uint16_t>(address), {static_cast<std::uint8_t>(op), 0x01, 0x01});
        starts.push_back(address);
        char text[12];
        address = m.cpu.disassemble(static_cast<std::uint16_t>(address), text);
    }
    const std::string image = testing::TempDir() + "hummbox_listing.bin";
    std::ofstream(image).write(reinterpret_cast<const char*>(&m.memory[0xF800]), address - 0xF800);
    const std::string objdump = "m68hc11-objdump -D -b binary -m m68hc11 --adjust-vma=0xf800 ";
    std::FILE* pipe = popen((objdump + image).c_str(), "r");
    char line[256];
    for (unsigned at = 0; pipe && std::fgets(line, sizeof line, pipe);)
        if (std::sscanf(line, " %x:", &at) == 1 && std::strchr(line, '\t')) found.push_back(at);
    EXPECT_TRUE(pipe && pclose(pipe) == 0);
    std::remove(image.c_str());
    EXPECT_EQ(found, starts);
}
