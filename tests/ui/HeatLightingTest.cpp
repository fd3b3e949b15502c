#include "tests/support/Machine.h"
#include "ui/DebuggerScreen.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The heat half of a frame needs no window.

TEST(HeatLighting, StoppedInstructionAtPcSettlesAt99) {
    Machine m;
    m.program(0xF810, {0xCE, 0x12, 0x34}); // ldx #$1234: three bytes
    const std::uint32_t expected[] = {49, 98, 99, 99, 99};
    for (std::uint32_t heat : expected) {
        DebuggerScreen::lightAndAge(m.cpu, true);
        for (std::uint16_t a = 0xF810; a <= 0xF812; ++a)
            ASSERT_EQ(m.heat[a], heat) << std::hex << a;
        ASSERT_EQ(m.heat[0xF80F], 0u);
        ASSERT_EQ(m.heat[0xF813], 0u);
    }
}

TEST(HeatLighting, NothingIsLitWhileRunningOrWhenTheInstructionWraps) {
    const struct {
        const char* name;
        std::uint16_t pc;
        std::uint8_t opcode;
        bool stopped;
    } cases[] = {
        {"running", 0xF800, 0xCE, false},
        {"three bytes from FFFE", 0xFFFE, 0xCE, true},
        {"two bytes from FFFF", 0xFFFF, 0x86, true},
        {"one byte at FFFF", 0xFFFF, 0x01, true},
    };
    for (const auto& c : cases) {
        Machine m;
        m.program(c.pc, {c.opcode});
        DebuggerScreen::lightAndAge(m.cpu, c.stopped);
        EXPECT_TRUE(std::all_of(m.heat.begin(), m.heat.end(), [](auto h) { return h == 0; }))
            << c.name;
    }
}

TEST(HeatLighting, UnknownOpcodeLightsOneByte) {
    Machine m;
    m.program(0x0040, {0xC4, 0x0F});
    DebuggerScreen::lightAndAge(m.cpu, true);
    EXPECT_EQ(m.heat[0x0040], 49u);
    EXPECT_EQ(m.heat[0x0041], 0u);
}

TEST(HeatLighting, EveryEntryCoolsByOnePerFrameDownToZero) {
    Machine m;
    m.heat[0x0000] = 100;
    m.heat[0x0400] = 1;
    m.heat[0xFFFF] = 37;
    m.cpu.PC = 0x1000; // running: nothing lit
    for (int frame = 1; frame <= 100; ++frame) {
        DebuggerScreen::lightAndAge(m.cpu, false);
        ASSERT_EQ(m.heat[0x0000], 100u - frame);
        ASSERT_EQ(m.heat[0x0400], 0u);
        ASSERT_EQ(m.heat[0xFFFF], frame < 37 ? 37u - frame : 0u);
    }
    DebuggerScreen::lightAndAge(m.cpu, false);
    EXPECT_TRUE(std::all_of(m.heat.begin(), m.heat.end(), [](auto h) { return h == 0; }));
}

} // namespace
