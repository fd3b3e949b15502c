#include "cpu/Board.h"
#include "cpu/History.h"
#include "cpu/Mc6802.h"
#include "debug/Debugger.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A small sound program of the kind the board runs: it plays a 16-step wave table into
// the DAC, holding each level for a delay whose length a RAM byte sets, and raises that
// byte after every period, so the pitch sweeps.
//
//  F800  8E 00 7F      reset   lds  #$007f
//  F803  CE F8 40      wave    ldx  #table
//  F806  C6 10                 ldab #16
//  F808  A6 00         sample  ldaa 0,x          ; level from the table
//  F80A  B7 04 00              staa $0400        ; DAC
//  F80D  BD F8 20              jsr  delay
//  F810  08                    inx
//  F811  5A                    decb
//  F812  26 F4                 bne  sample
//  F814  7C 00 10              inc  $0010        ; next period one step longer
//  F817  20 EA                 bra  wave
//
//  F820  36            delay   psha
//  F821  96 10                 ldaa $10
//  F823  84 0F                 anda #$0f
//  F825  8B 04                 adda #4
//  F827  4A            wait    deca
//  F828  26 FD                 bne  wait
//  F82A  32                    pula
//  F82B  39                    rts
//
//  F840                table   16 levels of a coarse sine
//  FFFE  F8 00                 reset vector
constexpr std::uint8_t kMain[] = {
    0x8E, 0x00, 0x7F, 0xCE, 0xF8, 0x40, 0xC6, 0x10, 0xA6, 0x00, 0xB7, 0x04, 0x00,
    0xBD, 0xF8, 0x20, 0x08, 0x5A, 0x26, 0xF4, 0x7C, 0x00, 0x10, 0x20, 0xEA,
};
constexpr std::uint8_t kDelay[] = {
    0x36, 0x96, 0x10, 0x84, 0x0F, 0x8B, 0x04, 0x4A, 0x26, 0xFD, 0x32, 0x39,
};
constexpr std::uint8_t kTable[] = {
    0x80, 0xB0, 0xDA, 0xF6, 0xFF, 0xF6, 0xDA, 0xB0, 0x80, 0x4F, 0x25, 0x09, 0x00, 0x09, 0x25, 0x4F,
};

template <std::size_t N>
void place(std::vector<std::uint8_t>& memory, std::uint16_t address,
           const std::uint8_t (&bytes)[N]) {
    for (std::uint8_t b : bytes)
        memory[address++] = b;
}

// Paces the processor the way the audio callback does: for every output sample it runs
// until cycleCount reaches samples * 19 (the default speed), then takes the DAC byte.
// One iteration is one buffer of 1,024 samples.
// The program runs alike under both instruction sets (the complete set's cycle counts equal the
// board's on every opcode it uses), so the two sets' speeds compare directly.
// Debugged runs the processor through the debugger's checked loop with eight breakpoints and
// eight watchpoints set where the program never goes or writes.
// Conditional does the same with eight conditional breakpoints on the loop's own instructions,
// whose conditions never hold: each is tested whenever PC passes its address.
// Unreached sets the eight conditional breakpoints where the program never goes; Recorded is
// runUntil with a history for back attached, as in the App.
enum class Loop { Step, RunUntil, Debugged, Conditional, Unreached, Recorded };

template <Loop How, InstructionSet Set = InstructionSet::Board>
void soundProgram(benchmark::State& state) {
    Board board;
    std::vector<std::uint8_t>& memory = board.memory;
    place(memory, 0xF800, kMain);
    place(memory, 0xF820, kDelay);
    place(memory, 0xF840, kTable);
    memory[0xFFFE] = 0xF8;
    memory[0xFFFF] = 0x00;

    Mc6802& cpu = board.cpu;
    History history;
    if (How == Loop::Recorded) cpu.record(&history);
    cpu.instructionSet = Set;
    cpu.reset();

    Debugger debugger;
    Expression never;
    std::string error;
    Expression::compile("sp==0 && [0400]>a", nullptr, never, error);
    constexpr std::uint16_t loopInstructions[] = {0xF808, 0xF80A, 0xF80D, 0xF810,
                                                  0xF811, 0xF812, 0xF827, 0xF828};
    for (std::uint16_t i = 0; i < DebugStatus::maxPoints; ++i) {
        if constexpr (How == Loop::Conditional) {
            debugger.setBreak(loopInstructions[i], never);
        } else if constexpr (How == Loop::Unreached) {
            debugger.setBreak(static_cast<std::uint16_t>(0xF900 + i), never);
        } else {
            debugger.toggleBreak(static_cast<std::uint16_t>(0xF900 + i));
            debugger.toggleWatch(cpu, static_cast<std::uint16_t>(0x0020 + i));
        }
    }

    constexpr std::uint64_t speed = 19;
    constexpr int bufferFrames = 1024;
    std::uint64_t sampleCount = 0;
    unsigned dacSum = 0;
    for (auto _ : state) {
        for (int i = 0; i < bufferFrames; ++i) {
            const std::uint64_t target = ++sampleCount * speed;
            if constexpr (How == Loop::RunUntil || How == Loop::Recorded) {
                cpu.runUntil(target);
            } else if constexpr (How != Loop::Step) {
                debugger.runUntil(cpu, target, nullptr);
            } else {
                while (cpu.cycleCount < target)
                    cpu.step();
            }
            dacSum += memory[Mc6802::dacAddress];
        }
    }
    benchmark::DoNotOptimize(dacSum);
    if (cpu.PC < 0xF800 || cpu.PC > 0xF82B || cpu.SP < 0x007C || cpu.SP > 0x007F)
        state.SkipWithError("the sound program left its loop");
    state.counters["cycles"] =
        benchmark::Counter(static_cast<double>(cpu.cycleCount), benchmark::Counter::kIsRate);
}
BENCHMARK(soundProgram<Loop::Step>)->Name("soundProgram/step");
BENCHMARK(soundProgram<Loop::RunUntil>)->Name("soundProgram/runUntil");
BENCHMARK(soundProgram<Loop::Recorded>)->Name("soundProgram/recorded");
BENCHMARK(soundProgram<Loop::Debugged>)->Name("soundProgram/debugged");
BENCHMARK(soundProgram<Loop::Conditional>)->Name("soundProgram/conditional");
BENCHMARK(soundProgram<Loop::Unreached>)->Name("soundProgram/conditional/unreached");
BENCHMARK(soundProgram<Loop::Step, InstructionSet::Complete>)->Name("soundProgram/complete/step");
BENCHMARK(soundProgram<Loop::RunUntil, InstructionSet::Complete>)
    ->Name("soundProgram/complete/runUntil");
BENCHMARK(soundProgram<Loop::Recorded, InstructionSet::Complete>)
    ->Name("soundProgram/complete/recorded");

} // namespace
