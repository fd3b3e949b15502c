// Fuzzes the processor and its clock: registers, fills and segments of memory, then steps,
// interrupts, resets and audio buffers (some after debugger keys: breakpoints, watchpoints,
// step over and out), checking the board's invariants after each.
#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "fuzz/FuzzInput.h"
#include "tests/support/Machine.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr std::size_t aboveWindow = Mc6802::writeWindowLast + 1;
Board board; // one for the whole run; every input sets all of it
Mc6802& cpu = board.cpu;
std::vector<std::uint8_t> outside; // what memory above the write window must hold

std::uint16_t wordAt(std::uint16_t address) {
    return static_cast<std::uint16_t>(board.memory[address] << 8 |
                                      board.memory[static_cast<std::uint16_t>(address + 1)]);
}

// No heat entry above 100; nothing above the write window changed but by reset's clearing.
void checkEverything() {
    FUZZ_CHECK(*std::max_element(board.heat.begin(), board.heat.end()) <= HeatMap::max);
    FUZZ_CHECK(std::equal(board.memory.begin() + aboveWindow, board.memory.end(),
                          outside.begin() + aboveWindow));
}

void reset() {
    cpu.reset();
    std::fill(outside.begin() + aboveWindow, outside.begin() + Mc6802::resetClearLast + 1, 0);
    // The chip's CC holds bits 6 and 7 as ones; the board's reset gives I alone.
    const std::uint8_t ones = cpu.instructionSet == InstructionSet::Complete ? 0xC0 : 0;
    FUZZ_CHECK(registers(cpu) == registers({.CC = std::uint8_t(Mc6802::flagI | ones),
                                            .PC = wordAt(Mc6802::resetVector)}));
    FUZZ_CHECK(std::all_of(board.memory.begin(), board.memory.begin() + Mc6802::resetClearLast + 1,
                           [](std::uint8_t b) { return b == 0; }));
}

// A masked request changes nothing; a taken one enters through the vector with I set, and
// when its whole frame lies in the write window, RTI brings back every register.
void interrupt() {
    const Mc6802 before = cpu;
    cpu.irq();
    if (before.CC & Mc6802::flagI) {
        FUZZ_CHECK(registers(cpu) == registers(before) && cpu.waiting == before.waiting);
        return;
    }
    FUZZ_CHECK(cpu.PC == wordAt(Mc6802::irqVector) && (cpu.CC & Mc6802::flagI) && !cpu.waiting);
    if (before.waiting) { // WAI stacked the frame already
        FUZZ_CHECK(cpu.SP == before.SP);
        return;
    }
    FUZZ_CHECK(cpu.SP == static_cast<std::uint16_t>(before.SP - 7));
    Mc6802 probe = cpu;
    probe.rti();
    // Under the complete set the frame holds CC with bits 6 and 7 as ones, as the chip's does.
    Mc6802 expected = before;
    if (cpu.instructionSet == InstructionSet::Complete) expected.CC |= Mc6802::ccHighOnes;
    FUZZ_CHECK(before.SP < 6 || before.SP > Mc6802::writeWindowLast ||
               registers(probe) == registers(expected));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    ControlBlock control;
    AudioEngine audio;
    audio.cpu = &cpu;
    audio.control = &control;
    board.setState({in.u8(), in.u8(), in.u8(), in.u16(), in.u16(), in.u16()});
    audio.speed = AudioEngine::minSpeed + in.u8() % AudioEngine::maxSpeed;
    std::fill(board.memory.begin(), board.memory.end(), in.u8());
    std::fill(board.heat.begin(), board.heat.end(), in.u8() % (HeatMap::max + 1));
    const std::uint8_t segmentCount = in.u8();
    cpu.instructionSet = segmentCount & 0x80 ? InstructionSet::Complete : InstructionSet::Board;
    for (int segments = segmentCount % 8; segments > 0; --segments) {
        std::uint16_t address = in.u16();
        for (int n = in.u8(); n > 0 && !in.empty(); --n)
            board.memory[address++] = in.u8();
    }
    outside = board.memory;

    for (int op = 0; !in.empty(); ++op) {
        const std::uint8_t code = in.u8();
        const int count = 1 + code / 8;
        for (int i = 0; code % 4 < 2 && i < count; ++i) {
            const std::uint64_t before = cpu.cycleCount;
            cpu.step();
            FUZZ_CHECK(cpu.cycleCount > before);
        }
        if (code % 4 == 2) code & 4 ? reset() : interrupt();
        std::array<float, 32> buffer;
        if (code % 4 == 3) {
            if (code & 4) { // debugger keys first, handed over with the buffer
                using Kind = ControlBlock::Command::Kind;
                control.clearBatch();
                const std::uint8_t keys = in.u8();
                control.commands[0] = {static_cast<Kind>(keys % 3), in.u16()};
                control.commandCount = keys & 4 ? 1 : 0;
                control.stepOver = keys & 8;
                control.stepOut = keys & 16;
                control.pending = true;
            }
            const bool run = (code & 8) == 0;
            control.setRunning(run);
            const int frames = std::min<int>(count, buffer.size());
            audioCallback(&audio, reinterpret_cast<Uint8*>(buffer.data()),
                          frames * int{sizeof(float)});
            FUZZ_CHECK(cpu.cycleCount >= audio.clockCycles);
            const DebugStatus& status = audio.debugger.status;
            if (control.isRunning()) { // the last sample is the DAC byte
                FUZZ_CHECK(buffer[frames - 1] ==
                           AudioEngine::sampleFor(board.memory[Mc6802::dacAddress]));
            } else if (run) { // a stop rule fired: silence from there, and the reason holds
                FUZZ_CHECK(buffer[frames - 1] == 0.0f);
                FUZZ_CHECK(status.stop != DebugStatus::Stop::Break ||
                           (cpu.PC == status.stopAddress && status.isBreakpoint(cpu.PC)));
                FUZZ_CHECK(status.stop != DebugStatus::Stop::Watch ||
                           status.stopAddress <= Mc6802::writeWindowLast);
            }
        }
        if (op % 64 == 0) checkEverything();
    }
    checkEverything();
    return 0;
}
