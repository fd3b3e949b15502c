#include "debug/Command.h"
#include "debug/TraceLine.h"
#include "tests/support/AudioRig.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Kind = ControlBlock::Command::Kind;
using Stop = DebugStatus::Stop;

// A sound loop with a subroutine, running on the audio clock at speed 19.
struct Rig : AudioRig {
    const DebugStatus& status = engine.debugger.status;

    Rig() {
        m.program(0xF800, {
                              0x86, 0x05,       // F800 ldaa #$05    2 cycles
                              0xB7, 0x04, 0x00, // F802 staa $0400   5
                              0x4C,             // F805 inca         2
                              0xBD, 0xF8, 0x10, // F806 jsr  $F810   9
                              0x20, 0xF7,       // F809 bra  $F802   4
                          });
        m.load(0xF810, {0x7F, 0x00, 0x10, // F810 clr $0010      6
                        0x39});           // F813 rts            5
        m.load(0xFFF8, {0xF9, 0x00});     // the interrupt routine at F900
        m.cpu.SP = 0x7F;
    }
    // One batch, applied as the next buffer starts.
    void keys(std::vector<ControlBlock::Command> commands, bool stepOver = false,
              bool stepOut = false, bool step = false) {
        control.clearBatch();
        for (const auto& c : commands)
            control.commands[static_cast<std::size_t>(control.commandCount++)] = c;
        std::tie(control.stepOver, control.stepOut, control.step) =
            std::tuple(stepOver, stepOut, step);
        control.pending = true;
    }
    // A command line, read against the processor and sent as a batch of its own.
    void line(const char* text) {
        control.clearBatch();
        std::string answer;
        ASSERT_TRUE(DebugCommand::parse(text, nullptr, m.cpu, status, control.line, answer))
            << answer;
        control.hasLine = control.pending = true;
    }
    // Where and why the processor stands: PC, SP, cycles, running, the stop and its bytes.
    auto state() const {
        return std::tuple(m.cpu.PC, m.cpu.SP, m.cpu.cycleCount, control.isRunning(), status.stop,
                          status.stopAddress, +status.before, +status.after);
    }
    std::uint64_t sinceStart() const { return m.cpu.cycleCount - status.runStart; }
};

constexpr std::uint64_t loop = 31; // cycles from F802 round to F802

} // namespace

// A breakpoint stops before its instruction and silences the rest of the buffer; P runs on
// past it, and the next stop there measures one pass of the loop.
TEST(Debugger, BreakpointStopsBeforeItsInstruction) {
    Rig r;
    r.keys({{Kind::Break, 0xF806}});
    r.control.running = true;
    EXPECT_EQ(r.play(4), std::vector<float>(4, 0.0f));
    EXPECT_EQ(r.state(), std::tuple(0xF806, 0x7F, 9u, false, Stop::Break, 0xF806, 0, 0));
    EXPECT_EQ(r.sinceStart(), 9u);

    r.control.running = true; // P
    EXPECT_EQ(r.play(4), (std::vector{dac(5), 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(r.state(), std::tuple(0xF806, 0x7F, 9 + loop, false, Stop::Break, 0xF806, 0, 0));
    EXPECT_EQ(r.sinceStart(), loop);
    r.keys({});
    r.control.reset = true; // R: the reason goes with the program's state; the point stays
    r.play(1);
    EXPECT_EQ(std::tuple(r.status.stop, r.status.breakCount), std::tuple(Stop::None, 1));

    r.keys({{Kind::Break, 0xF806}}); // toggled off: runs on
    r.control.running = true;
    r.play(8);
    EXPECT_EQ(std::tuple(r.control.isRunning(), r.status.breakCount), std::tuple(true, 0));
}

// A breakpoint after a WAI does not stop the wait: the interrupt routine comes first.
TEST(Debugger, BreakpointAfterWaiWaitsForTheInterrupt) {
    Rig r;
    r.m.cpu.instructionSet = InstructionSet::Complete;
    r.m.program(0xF800, {0x3E, 0x01}); // wai ; nop
    r.keys({{Kind::Break, 0xF801}});
    r.control.running = true;
    r.play(4);
    EXPECT_EQ(std::tuple(r.control.isRunning(), r.m.cpu.waiting), std::tuple(true, true));
}

// A watchpoint stops after the instruction whose write landed, even one that changed
// nothing; a watched byte outside the write window is never written.
TEST(Debugger, WatchpointStopsAfterTheWrite) {
    Rig r;
    r.keys({{Kind::Watch, 0xF801}, {Kind::Watch, 0x0400}});
    r.control.running = true;
    r.play(2);
    EXPECT_EQ(r.state(), std::tuple(0xF805, 0x7F, 7u, false, Stop::Watch, 0x0400, 0, 5));
    r.control.running = true;
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF805, 0x7F, 7 + loop, false, Stop::Watch, 0x0400, 5, 6));

    r.keys({{Kind::Watch, 0x0400}, {Kind::Watch, 0x0010}});
    r.m.load(0xF811, {0xF8, 0x01}); // clr $F801: dropped by the write window
    r.control.running = true;
    r.play(8);
    EXPECT_TRUE(r.control.running);
    r.m.load(0xF811, {0x00, 0x10}); // clr $0010 again
    r.play(4);
    EXPECT_EQ(std::tuple(r.m.cpu.PC, r.control.isRunning(), r.status.stop, r.status.stopAddress,
                         r.status.before, r.status.after),
              std::tuple(0xF813, false, Stop::Watch, 0x0010, 0, 0));
    EXPECT_EQ(r.status.watchCount, 2); // F801 is still set
}

// O runs a call until it has returned, or steps anything else; U runs until the routine
// returns; both stop early at a breakpoint, and U outside any routine runs on like P.
TEST(Debugger, StepOverAndOut) {
    Rig r;
    r.keys({}, true); // O on ldaa: one step
    r.play(2);
    EXPECT_EQ(r.state(), std::tuple(0xF802, 0x7F, 2u, false, Stop::None, 0, 0, 0));
    r.m.cpu.PC = 0xF806;
    r.keys({}, true); // O on jsr: the whole call
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF809, 0x7F, 22u, false, Stop::None, 0, 0, 0));
    EXPECT_EQ(r.sinceStart(), 20u);

    r.m.load(0xF820, {0x7A, 0x00, 0x20, // F820 dec $0020
                      0x27, 0x03,       // F823 beq  $F828
                      0xBD, 0xF8, 0x20, // F825 jsr  $F820   calls itself until $0020 is 0
                      0x39});           // F828 rts
    std::tie(r.m.cpu.PC, r.m.memory[0x20]) = std::tuple(0xF825, 3);
    r.keys({}, true); // O over the outermost call: the inner ones return to F828 deeper down
    r.play(8);
    EXPECT_EQ(r.state(),
              std::tuple(0xF828, 0x7F, 22u + 9 + 2 * 19 + 10 + 3 * 5, false, Stop::None, 0, 0, 0));

    r.m.cpu.PC = 0xF806;
    r.keys({{Kind::Break, 0xF813}}, true); // a breakpoint inside the call
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF813, 0x7D, 94u + 15, false, Stop::Break, 0xF813, 0, 0));
    r.keys({}, false, true); // U from there: out after the rts
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF809, 0x7F, 109u + 5, false, Stop::None, 0xF813, 0, 0));

    r.keys({{Kind::Break, 0xF813}}, false, true); // U in the main loop: nothing to return from
    r.play(64);
    EXPECT_TRUE(r.control.running);
    r.control.running = false; // P stops it and the goal with it
    r.play(1);
    r.control.running = true;
    r.play(64);
    EXPECT_TRUE(r.control.running);
}

// Eight of each at most, kept in the order set; toggling again clears one.
TEST(Debugger, AtMostEightPointsOfEachKind) {
    Rig r;
    std::vector<ControlBlock::Command> commands;
    for (std::uint16_t a = 0; a < 8; ++a)
        commands.push_back({Kind::Break, static_cast<std::uint16_t>(0xF800 + a)});
    r.keys(commands);
    r.play(1);
    r.keys({{Kind::Break, 0xF900}});
    r.play(1);
    EXPECT_EQ(std::tuple(r.status.full, r.status.fullAddress), std::tuple(Stop::Break, 0xF900));
    r.keys({{Kind::Break, 0xF803}, {Kind::Break, 0xF908}});
    r.play(1);
    EXPECT_EQ(r.status.full, Stop::None);
    EXPECT_EQ(r.status.breakCount, 8);
    EXPECT_EQ(r.status.breakpoints, (std::array<std::uint16_t, 8>{0xF800, 0xF801, 0xF802, 0xF804,
                                                                  0xF805, 0xF806, 0xF807, 0xF908}));
}

// A conditional breakpoint stops only when its condition holds before the instruction (A
// counts up from 6 at F806, once a pass); setting it again replaces the condition, G clears it.
// Under either instruction set: each runs it in a loop of its own.
TEST(Debugger, ConditionalBreakpointStopsOnlyWhenItHolds) {
    for (InstructionSet set : {InstructionSet::Board, InstructionSet::Complete}) {
        Rig r;
        r.m.cpu.instructionSet = set;
        for (const char* line : {"b f900", "b f806 if a==8 && [0400]==7", "b f902", "d f900"}) {
            r.line(line); // F806's condition moves along when F900 goes
            r.play(1);
        }
        r.control.running = true;
        r.play(8);
        EXPECT_EQ(r.state(),
                  std::tuple(0xF806, 0x7F, 9 + 2 * loop, false, Stop::Break, 0xF806, 0, 0));
        EXPECT_EQ(+r.m.cpu.A, 8);
        r.line("break f806 if a==a"); // replaced: stops on the next pass
        r.play(1);
        r.control.running = true;
        r.play(4);
        EXPECT_EQ(std::tuple(r.m.cpu.cycleCount, +r.m.cpu.A, r.status.breakCount),
                  std::tuple(9 + 3 * loop, 9, 2));
        r.keys({{Kind::Break, 0xF806}});
        r.control.running = true;
        r.play(8);
        EXPECT_EQ(std::tuple(r.control.isRunning(), r.status.breakCount), std::tuple(true, 1));
    }
}

// A watched range stops after a write into it while its condition holds; go ADDR stops once
// at ADDR; register and memory writes land through the mailbox, memory without heat.
TEST(Debugger, CommandLinesThroughTheMailbox) {
    Rig r;
    r.line("w 03ff-0400 if [0400]==7");
    r.play(1); // stopped: nothing runs
    r.line("g");
    r.play(8);
    EXPECT_EQ(r.state(), std::tuple(0xF805, 0x7F, 7 + 2 * loop, false, Stop::Watch, 0x0400, 6, 7));
    r.line("d 3ff");
    r.play(1);
    r.line("go f813");
    r.play(4);
    EXPECT_EQ(r.state(),
              std::tuple(0xF813, 0x7D, 7 + 2 * loop + 17, false, Stop::None, 0x0400, 6, 7));
    for (const char* text : {"a=#200", "b=a+1", "x=1234", "cc=3f", "pc=f800", "sp=sp+2"}) {
        r.line(text);
        r.play(1);
    }
    EXPECT_EQ(registers(r.m.cpu), std::tuple(200, 201, 0x3F, 0x1234, 0xF800, 0x7F));
    r.line("[0410]=a+#10");
    r.play(1);
    EXPECT_EQ(std::tuple(+r.m.memory[0x0410], r.m.heat[0x0410]), std::tuple(210, 0u));
}

// A read watchpoint stops after an instruction that reads a watched byte as data (a load, the
// stack an RTS pulls), never after a store to it or the fetch of an instruction's own bytes.
TEST(Debugger, ReadWatchpointStopsAfterADataRead) {
    Rig r;
    r.m.load(0xF810, {0xF6, 0x04, 0x00}); // F810 ldab $0400, in place of the clr
    for (const char* line : {"w 0400 r", "w f801-f804 r", "w f811 rw"}) {
        r.line(line);
        r.play(1);
    }
    r.control.running = true;
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF813, 0x7D, 22u, false, Stop::Watch, 0x0400, 5, 5));
    EXPECT_TRUE(r.status.stopRead);
    r.line("d 400");
    r.play(1);
    r.line("w 7e-7f r");
    r.play(1);
    r.control.running = true;
    r.play(4);
    EXPECT_EQ(r.state(), std::tuple(0xF809, 0x7F, 27u, false, Stop::Watch, 0x007E, 0xF8, 0xF8));
}

// trace on if EXPR: only the instructions before which EXPR holds are traced; an interrupt
// taken has a line of its own.
TEST(Debugger, TraceKeepsWhatItsConditionAllowsAndMarksInterrupts) {
    Rig r;
    TraceRing ring(256);
    r.engine.traceTap = &ring;
    Expression condition;
    std::string error;
    ASSERT_TRUE(Expression::compile("pc>=f805 && pc<f810", nullptr, condition, error));
    r.engine.debugger.traceWhen(condition);
    for (int i = 0; i < 5; ++i) { // ldaa staa inca jsr clr
        r.keys({}, false, false, true);
        r.play(1);
    }
    r.keys({});
    r.control.irq = true;
    r.play(1);
    std::vector<TraceRecord> records(8);
    records.resize(ring.pop(records.data(), records.size()));
    std::vector<std::string> lines;
    for (const TraceRecord& record : records) {
        char line[TraceLine::maxSize];
        lines.emplace_back(line, TraceLine::format(record, line));
    }
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].substr(0, 33), "          9  F805  4C        inca");
    EXPECT_EQ(lines[1].substr(0, 33), "         18  F806  BD F8 10  jsr ");
    EXPECT_EQ(lines[2], "         24  ---- interrupt: PC F813, vector FFF8 -> F900\n");
}

// S latches its byte (an edit: no heat). With I set, the request is lost and counted under irq
// drop, the default; under irq hold it waits and is taken right after the CLI that clears I.
TEST(Debugger, MaskedInterruptIsDroppedOrHeld) {
    for (const bool hold : {false, true}) {
        Rig r;
        r.m.program(0xF800, {0x01, 0x01, 0x0E, 0x01, 0x20, 0xFE}); // nop nop cli nop bra *
        r.m.cpu.CC = Mc6802::flagI;
        for (const char* line : {"b f900", hold ? "irq hold" : "irq drop"}) {
            r.line(line);
            r.play(1);
        }
        r.keys({{Kind::Sound, 0x12}});
        r.play(1);
        EXPECT_EQ(std::tuple(r.status.irqHeld, r.status.irqDropped, +r.m.memory[0x0402],
                             r.m.heat[0x0402]),
                  std::tuple(hold, !hold, 0x12, 0u));
        r.control.running = true;
        r.play(1);
        EXPECT_EQ(std::tuple(r.m.cpu.PC, r.m.cpu.SP, r.m.cpu.cycleCount, r.status.irqHeld),
                  hold ? std::tuple(0xF900, 0x78, 6u, false)
                       : std::tuple(0xF804, 0x7F, 20u, false));
    }
}
