// Fuzzes the processor and the command path: an input is a memory image, a register state
// and a run of operations (steps, interrupt requests, resets, command batches applied through
// AudioEngine::applyCommands, audio buffers). After every operation the board's invariants
// must hold.
//
// Layout: A B CC X(2) PC(2) SP(2) speed memoryFill heatFill segmentCount, then segmentCount
// times: address(2) length bytes..., then operations until the input ends:
//   op % 6 == 0, 1  steps: 1 + op / 8 instructions
//   op % 6 == 2     interrupt request
//   op % 6 == 3     reset
//   op % 6 == 4     command batch: flags digit moves
//   op % 6 == 5     one audio buffer of 1 + op / 8 samples, running
#include "audio/AudioEngine.h"
#include "audio/ControlBlock.h"
#include "cpu/HeatMap.h"
#include "cpu/Mc6802.h"
#include "fuzz/FuzzInput.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::size_t memorySize = Mc6802::memorySize;
constexpr std::uint16_t aboveWindow = Mc6802::writeWindowLast + 1;
constexpr int fullCheckEvery = 64;

std::array<std::uint8_t, memorySize> memory;
std::array<std::uint8_t, memorySize> outside; // what memory above the write window must hold
std::array<std::uint32_t, memorySize> heat;

struct Registers {
    std::uint8_t A, B, CC;
    std::uint16_t X, PC, SP;
    bool operator==(const Registers&) const = default;
};

Registers registersOf(const Mc6802& cpu) {
    return {cpu.A, cpu.B, cpu.CC, cpu.X, cpu.PC, cpu.SP};
}

std::uint16_t wordAt(std::uint16_t address) {
    return static_cast<std::uint16_t>(memory[address] << 8 |
                                      memory[static_cast<std::uint16_t>(address + 1)]);
}

// Between the full checks, the entries most likely touched last.
void checkNearRegisters(const Mc6802& cpu) {
    for (const std::uint16_t address : {cpu.PC, cpu.SP, cpu.X})
        for (int d = -2; d <= 2; ++d)
            FUZZ_CHECK(heat[static_cast<std::uint16_t>(address + d)] <= HeatMap::max);
}

void checkEverything() {
    std::uint32_t hottest = 0;
    for (const std::uint32_t h : heat)
        hottest = std::max(hottest, h);
    FUZZ_CHECK(hottest <= HeatMap::max);
    FUZZ_CHECK(std::memcmp(memory.data() + aboveWindow, outside.data() + aboveWindow,
                           memorySize - aboveWindow) == 0);
}

// Reset clears 0x0000..0x04FF, beyond the write window; that is the one change above it that
// is not a processor write.
void resetDone(const Mc6802& cpu) {
    std::memset(outside.data() + aboveWindow, 0, Mc6802::resetClearLast + 1 - aboveWindow);
    FUZZ_CHECK(cpu.PC == wordAt(Mc6802::resetVector));
    FUZZ_CHECK(cpu.A == 0 && cpu.B == 0 && cpu.X == 0 && cpu.SP == 0 && cpu.CC == Mc6802::flagI);
    FUZZ_CHECK(std::all_of(memory.begin(), memory.begin() + Mc6802::resetClearLast + 1,
                           [](std::uint8_t b) { return b == 0; }));
}

void interrupt(Mc6802& cpu) {
    const Registers before = registersOf(cpu);
    const bool taken = (cpu.CC & Mc6802::flagI) == 0;
    cpu.irq();
    if (!taken) {
        FUZZ_CHECK(registersOf(cpu) == before);
        return;
    }
    FUZZ_CHECK(cpu.PC == wordAt(Mc6802::irqVector));
    FUZZ_CHECK(cpu.CC & Mc6802::flagI);
    FUZZ_CHECK(cpu.SP == static_cast<std::uint16_t>(before.SP - 7));
    // When the whole seven-byte frame lies in the write window, RTI brings back every
    // register as it was before the request.
    if (before.SP >= 6 && before.SP <= Mc6802::writeWindowLast) {
        Mc6802 probe = cpu;
        probe.rti();
        FUZZ_CHECK(registersOf(probe) == before);
    }
}

void batch(AudioEngine& audio, ControlBlock& control, FuzzInput& in) {
    const std::uint8_t flags = in.u8();
    const std::uint8_t digit = in.u8();
    const std::uint8_t moves = in.u8();
    control.step = flags & 0x01;
    control.irq = flags & 0x02;
    control.reset = flags & 0x04;
    control.switchPanel = flags & 0x08;
    control.running.store((flags & 0x10) != 0);
    control.hexDigit = digit < 16 ? digit : -1;
    control.cursorDx = moves % 3 - 1;
    control.cursorDy = moves / 3 % 3 - 1;
    control.adjust = moves / 9 % 3 - 1;
    control.speedDelta = moves / 27 % 3 - 1;

    Mc6802& cpu = *audio.cpu;
    const std::uint64_t cyclesBefore = cpu.cycleCount;
    const bool steps = control.step && !control.running.load();
    audio.applyCommands();
    if (steps) FUZZ_CHECK(cpu.cycleCount >= cyclesBefore + 1);
    if (control.reset) resetDone(cpu);
    // A digit typed into the last nibble of a range leaves the cursor one past it.
    const std::int32_t c = audio.editCursor;
    FUZZ_CHECK((c >= 0 && c <= AudioEngine::ramCursorLast + 1) ||
               (c >= AudioEngine::piaCursorFirst && c <= AudioEngine::piaCursorLast + 1));
    FUZZ_CHECK(audio.speed >= AudioEngine::minSpeed && audio.speed <= AudioEngine::maxSpeed);
}

void audioBuffer(AudioEngine& audio, ControlBlock& control, int frames) {
    std::array<float, 64> buffer;
    control.running.store(true);
    audioCallback(&audio, reinterpret_cast<Uint8*>(buffer.data()),
                  frames * static_cast<int>(sizeof(float)));
    FUZZ_CHECK(audio.cpu->cycleCount >= audio.clockCycles);
    FUZZ_CHECK(buffer[static_cast<std::size_t>(frames - 1)] ==
               AudioEngine::sampleFor(memory[Mc6802::dacAddress]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};

    Mc6802 cpu;
    cpu.memory = memory.data();
    cpu.heat = heat.data();
    ControlBlock control;
    AudioEngine audio;
    audio.cpu = &cpu;
    audio.control = &control;

    cpu.A = in.u8();
    cpu.B = in.u8();
    cpu.CC = in.u8();
    cpu.X = in.u16();
    cpu.PC = in.u16();
    cpu.SP = in.u16();
    audio.speed = AudioEngine::minSpeed + in.u8() % AudioEngine::maxSpeed;
    memory.fill(in.u8());
    heat.fill(in.u8() % (HeatMap::max + 1));
    for (int segments = in.u8() % 8; segments > 0; --segments) {
        std::uint16_t address = in.u16();
        for (int n = in.u8(); n > 0 && !in.empty(); --n)
            memory[address++] = in.u8();
    }
    outside = memory;

    for (int op = 0; !in.empty(); ++op) {
        const std::uint8_t code = in.u8();
        const int count = 1 + code / 8;
        switch (code % 6) {
        case 0:
        case 1:
            for (int i = 0; i < count; ++i) {
                const std::uint64_t before = cpu.cycleCount;
                cpu.step();
                FUZZ_CHECK(cpu.cycleCount >= before + 1);
            }
            break;
        case 2: interrupt(cpu); break;
        case 3:
            cpu.reset();
            resetDone(cpu);
            break;
        case 4: batch(audio, control, in); break;
        case 5: audioBuffer(audio, control, std::min(count, 64)); break;
        }
        checkNearRegisters(cpu);
        if (op % fullCheckEvery == 0) checkEverything();
    }
    checkEverything();
    return 0;
}
