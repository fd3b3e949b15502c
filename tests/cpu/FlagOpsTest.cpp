#include "cpu/Mc6802.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// CC bits: C 0x01, V 0x02, Z 0x04, N 0x08, I 0x10, H 0x20; 0xC0 are no flags.
enum class Op {
    add,
    adc,
    sub,
    sbc,
    And,
    Or,
    eor,
    neg,
    com,
    inc,
    dec,
    asl,
    lsr,
    ror,
    load,
    store,
    clear
};

struct Row {
    const char* name;
    Op op;
    std::uint8_t a, m, ccIn, result, ccOut;
};

std::uint8_t apply(Mc6802& cpu, Op op, std::uint8_t a, std::uint8_t m) {
    switch (op) {
    case Op::add: return cpu.add8(a, m);
    case Op::adc: return cpu.adc8(a, m);
    case Op::sub: return cpu.sub8(a, m);
    case Op::sbc: return cpu.sbc8(a, m);
    case Op::And: return cpu.and8(a, m);
    case Op::Or: return cpu.or8(a, m);
    case Op::eor: return cpu.eor8(a, m);
    case Op::neg: return cpu.neg8(a);
    case Op::com: return cpu.com8(a);
    case Op::inc: return cpu.inc8(a);
    case Op::dec: return cpu.dec8(a);
    case Op::asl: return cpu.asl8(a);
    case Op::lsr: return cpu.lsr8(a);
    case Op::ror: return cpu.ror8(a);
    case Op::load: return cpu.load8(a);
    case Op::store: return cpu.store8(a);
    case Op::clear: return cpu.clear8();
    }
    return 0;
}

// The CC bytes carry I, H and bits 6-7 (0xF0) that no operation may touch, and V where
// it must be kept. Several rows are where this processor parts from the published flag
// rules: V is never computed, shifts and NEG leave C alone, CLR changes only Z.
const Row kRows[] = {
    {"add plain", Op::add, 0x12, 0x34, 0xF0, 0x46, 0xF0},
    {"add carry out", Op::add, 0xFF, 0x01, 0xF0, 0x00, 0xF5},
    {"add signed overflow keeps V clear", Op::add, 0x7F, 0x01, 0x00, 0x80, 0x08},
    {"add keeps V set", Op::add, 0x01, 0x01, 0x02, 0x02, 0x02},
    {"add clears old C", Op::add, 0x01, 0x01, 0x01, 0x02, 0x00},
    {"adc uses C", Op::adc, 0x10, 0x20, 0x01, 0x31, 0x00},
    {"adc ff+00+C", Op::adc, 0xFF, 0x00, 0x01, 0x00, 0x05},
    {"adc without C", Op::adc, 0xFF, 0x00, 0x00, 0xFF, 0x08},
    {"sub borrow", Op::sub, 0x10, 0x20, 0x00, 0xF0, 0x09},
    {"sub equal", Op::sub, 0x55, 0x55, 0xF1, 0x00, 0xF4},
    {"sub ignores C", Op::sub, 0x20, 0x10, 0x01, 0x10, 0x00},
    {"sbc 00-ff-C", Op::sbc, 0x00, 0xFF, 0x01, 0x00, 0x05},
    {"sbc borrow from C only", Op::sbc, 0x10, 0x10, 0x01, 0xFF, 0x09},
    {"sbc no borrow", Op::sbc, 0x10, 0x0F, 0x01, 0x00, 0x04},
    {"and keeps C and V", Op::And, 0xF0, 0x3C, 0x03, 0x30, 0x03},
    {"and zero", Op::And, 0xF0, 0x0F, 0x08, 0x00, 0x04},
    {"or negative", Op::Or, 0x80, 0x01, 0x05, 0x81, 0x09},
    {"eor zero", Op::eor, 0x5A, 0x5A, 0x0B, 0x00, 0x07},
    {"neg 01 keeps C clear", Op::neg, 0x01, 0, 0x00, 0xFF, 0x08},
    {"neg 00 keeps C set", Op::neg, 0x00, 0, 0x01, 0x00, 0x05},
    {"neg 80", Op::neg, 0x80, 0, 0x02, 0x80, 0x0A},
    {"com 00", Op::com, 0x00, 0, 0x02, 0xFF, 0x09},
    {"com ff", Op::com, 0xFF, 0, 0xF0, 0x00, 0xF5},
    {"inc 7f keeps V clear", Op::inc, 0x7F, 0, 0x00, 0x80, 0x08},
    {"inc ff keeps C", Op::inc, 0xFF, 0, 0x01, 0x00, 0x05},
    {"dec 00", Op::dec, 0x00, 0, 0x04, 0xFF, 0x08},
    {"dec 01", Op::dec, 0x01, 0, 0x08, 0x00, 0x04},
    {"asl 80 keeps C clear", Op::asl, 0x80, 0, 0x00, 0x00, 0x04},
    {"asl 40 keeps C set", Op::asl, 0x40, 0, 0x01, 0x80, 0x09},
    {"lsr 01 keeps N and C", Op::lsr, 0x01, 0, 0x09, 0x00, 0x0D},
    {"lsr 80 clears Z only", Op::lsr, 0x80, 0, 0x04, 0x40, 0x00},
    {"lsr keeps N clear", Op::lsr, 0xFF, 0, 0x00, 0x7F, 0x00},
    {"ror 01 without C", Op::ror, 0x01, 0, 0x00, 0x00, 0x05},
    {"ror C into bit 7", Op::ror, 0x02, 0, 0x01, 0x81, 0x08},
    {"ror keeps V", Op::ror, 0x00, 0, 0x02, 0x00, 0x06},
    {"load 80", Op::load, 0x80, 0, 0x07, 0x80, 0x0B},
    {"load 00 keeps V", Op::load, 0x00, 0, 0x0A, 0x00, 0x06},
    {"store clears V", Op::store, 0x00, 0, 0x0B, 0x00, 0x05},
    {"store 80", Op::store, 0x80, 0, 0x02, 0x80, 0x08},
    {"clear sets Z only", Op::clear, 0x55, 0, 0x0B, 0x00, 0x0F},
    {"clear from nothing", Op::clear, 0x55, 0, 0xF0, 0x00, 0xF4},
};

} // namespace

TEST(FlagOps, EachOperationSetsOnlyItsFlags) {
    for (const Row& row : kRows) {
        for (std::uint8_t high : {0x00, 0xF0}) { // I, H and bits 6-7 pass through untouched
            Mc6802 cpu;
            cpu.CC = static_cast<std::uint8_t>(row.ccIn | high);
            const std::uint8_t result = apply(cpu, row.op, row.a, row.m);
            EXPECT_EQ(result, row.result) << row.name;
            EXPECT_EQ(cpu.CC, row.ccOut | high) << row.name;
        }
    }
}

TEST(FlagOps, SixteenBitLoadSetsOnlyZ) {
    Mc6802 cpu;
    cpu.CC = 0x0B; // N, V, C set
    EXPECT_EQ(cpu.load16(0x0000), 0x0000);
    EXPECT_EQ(cpu.CC, 0x0F);
    EXPECT_EQ(cpu.load16(0x8000), 0x8000);
    EXPECT_EQ(cpu.CC, 0x0B); // N stays as it was although bit 15 is set
    cpu.CC = 0x00;
    cpu.load16(0x8000);
    EXPECT_EQ(cpu.CC, 0x00);
}

TEST(FlagOps, Compare16SetsZAndNFromTheDifference) {
    struct Case {
        std::uint16_t x, m;
        std::uint8_t ccIn, ccOut;
    };
    const Case cases[] = {
        {0x0000, 0x0001, 0x07, 0x0B}, // difference 0xFFFF: N, not Z; C and V kept
        {0x1234, 0x1234, 0x08, 0x04}, {0x8000, 0x0000, 0x00, 0x08},
        {0x0001, 0x8001, 0x03, 0x0B}, {0x7FFF, 0x0001, 0x0C, 0x00},
    };
    for (const Case& c : cases) {
        Mc6802 cpu;
        cpu.CC = c.ccIn;
        cpu.compare16(c.x, c.m);
        EXPECT_EQ(cpu.CC, c.ccOut) << std::hex << c.x << " - " << c.m;
    }
}
