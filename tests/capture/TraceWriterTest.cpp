#include "capture/TraceWriter.h"
#include "tests/support/AudioRig.h"
#include "tests/support/ScratchDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(TraceWriter, FormatsOneLinePerInstructionFromItsOwnBytes) {
    using S = InstructionSet;
    const struct {
        TraceRecord record;
        const char* line;
    } cases[] = {
        {{12345, 0xF845, 0x0000, 0x007F, {0xBD, 0xF9, 0x00}, 0x00, 0x12, 0xD0, S::Board},
         "      12345  F845  BD F9 00  jsr  $f900   A=00 B=12 X=0000 SP=007F CC=D0"},
        // Skipped and unlisted opcodes: in the run below. Here the complete set's name.
        {{9, 0x0010, 0, 0, {0x3F, 0xC4, 0x0F}, 0, 0, 0, S::Complete},
         "          9  0010  3F        swi          A=00 B=00 X=0000 SP=0000 CC=00"},
        {{123456789012345, 0x0400, 0, 0, {0xFE, 0xF8, 0x00}, 0, 0, 0, S::Complete},
         "123456789012345  0400  FE F8 00  ldx  $f800   A=00 B=00 X=0000 SP=0000 CC=00"},
    };
    for (const auto& c : cases) {
        char line[TraceLine::maxSize];
        const std::size_t n = TraceLine::format(c.record, line);
        EXPECT_EQ(std::string(line, n), std::string(c.line) + "\n");
    }
}

struct Rig : ScratchDir, AudioRig {
    TraceWriter tracer;
    explicit Rig(std::size_t ring = TraceWriter::ringRecords) : tracer(ring) {
        tracer.attach(engine);
    }
};

// A countdown loop, an unlisted and a skipped opcode, then a branch to itself; the first
// instruction is a single step, the rest run two samples (38 cycles) and one instruction on.
TEST(TraceWriter, TracesSteppedAndRunInstructionsInOrder) {
    Rig rig;
    rig.m.program(0xF800,
                  {0x86, 0x03, 0x4A, 0x26, 0xFD, 0xB7, 0x04, 0x00, 0xC4, 0x0F, 0x00, 0x20, 0xFE});
    ASSERT_TRUE(rig.tracer.start());
    EXPECT_EQ(rig.tracer.statusName(), "TRACE hummbox-trace-001.txt");
    rig.control.step = true;
    rig.control.pending = true;
    rig.play(1);
    rig.control.running = true;
    rig.play(2);
    rig.tracer.stop();
    rig.control.running = false;
    rig.play(1);
    const std::vector<std::string> expected = {
        "#    cycles  addr  bytes     instruction  registers after it",
        "          2  F800  86 03     ldaa #$03    A=03 B=00 X=0000 SP=0000 CC=00",
        "          4  F802  4A        deca         A=02 B=00 X=0000 SP=0000 CC=00",
        "          8  F803  26 FD     bne  $fd     A=02 B=00 X=0000 SP=0000 CC=00",
        "         10  F802  4A        deca         A=01 B=00 X=0000 SP=0000 CC=00",
        "         14  F803  26 FD     bne  $fd     A=01 B=00 X=0000 SP=0000 CC=00",
        "         16  F802  4A        deca         A=00 B=00 X=0000 SP=0000 CC=04",
        "         20  F803  26 FD     bne  $fd     A=00 B=00 X=0000 SP=0000 CC=04",
        "         25  F805  B7 04 00  staa $0400   A=00 B=00 X=0000 SP=0000 CC=04",
        "         27  F808  C4 0F     ? op: c4     A=00 B=00 X=0000 SP=0000 CC=04",
        "         28  F80A  00        ? op: 00     A=00 B=00 X=0000 SP=0000 CC=04",
        "         32  F80B  20 FE     bra  $fe     A=00 B=00 X=0000 SP=0000 CC=04",
        "         36  F80B  20 FE     bra  $fe     A=00 B=00 X=0000 SP=0000 CC=04",
        "         40  F80B  20 FE     bra  $fe     A=00 B=00 X=0000 SP=0000 CC=04",
    };
    EXPECT_EQ(readLines("hummbox-trace-001.txt"), expected);
    EXPECT_EQ(rig.tracer.statusName(), "saved hummbox-trace-001.txt");
    EXPECT_EQ(rig.tracer.statusDetail(), "13 lines");
}

// trace on FILE: the file keeps what it held until the trace is complete, then holds the
// trace, and nothing else is left in the directory.
TEST(TraceWriter, ANamedFileIsReplacedOnlyOnceTheTraceIsComplete) {
    Rig rig;
    rig.m.program(0xF800, {0x20, 0xFE}); // bra *
    ScratchDir::write("mine.txt", {'o', 'l', 'd', '\n'});
    ASSERT_TRUE(rig.tracer.startFile("mine.txt"));
    rig.control.running = true;
    rig.play(1); // 19 cycles: five of them
    EXPECT_EQ(readLines("mine.txt"), std::vector<std::string>{"old"});
    EXPECT_TRUE(rig.tracer.stop());
    const std::vector<std::string> lines = readLines("mine.txt");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5], "         20  F800  20 FE     bra  $fe     A=00 B=00 X=0000 SP=0000 CC=00");
    const auto files = std::filesystem::directory_iterator(".");
    EXPECT_EQ(std::distance(begin(files), end(files)), 1);
}

// A writer that falls behind loses records, never the callback's time; the file says how
// many went missing, and they add up with the lines to what ran, however many instructions
// fill the debugger's batches within a sample.
TEST(TraceWriter, RecordsTheRingCouldNotTakeAreNotedInTheFile) {
    Rig rig(64);
    rig.m.cpu.PC = 0x0600; // zeros: skipped, one cycle each
    rig.engine.speed = AudioEngine::maxSpeed;
    rig.control.running = true;
    ASSERT_TRUE(rig.tracer.start());
    rig.play(512); // 51,200 instructions at once
    rig.tracer.stop();
    const std::string note = " instructions not traced: the writer fell behind";
    std::uint64_t lines = 0, noted = 0;
    for (const std::string& line : readLines("hummbox-trace-001.txt"))
        line.ends_with(note) ? noted += std::stoull(line.substr(2)) : lines += line[0] != '#';
    EXPECT_GT(noted, 0u);
    EXPECT_EQ(noted, rig.tracer.recordsDropped());
    EXPECT_EQ(lines, rig.tracer.linesWritten());
    EXPECT_EQ(lines + noted, 51200u);
    EXPECT_NE(rig.tracer.statusDetail().find(" not traced"), std::string::npos);
}

} // namespace
