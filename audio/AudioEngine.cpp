#include "audio/AudioEngine.h"

#include "audio/ControlBlock.h"
#include "audio/SampleRing.h"
#include "cpu/History.h"
#include "cpu/Mc6802.h"

#include <cstring>

namespace {

constexpr std::int32_t cursorRowNibbles = 32;

// The cursor rule: clamps into RAM (0..511) or the PIA row (2048..2079) and crosses between
// them at the ends, so a cursor left one past a range by a digit comes back at once.
std::int32_t moveCursor(std::int32_t c, const ControlBlock& control) {
    const std::int32_t moved = c + control.cursorDx + cursorRowNibbles * control.cursorDy;
    if (c <= AudioEngine::ramCursorLast) {
        if (control.switchPanel) return AudioEngine::piaCursorFirst;
        c = moved < 0 ? 0 : moved;
        return c > AudioEngine::ramCursorLast ? AudioEngine::piaCursorFirst : c;
    }
    if (control.switchPanel) return 0;
    c = moved < AudioEngine::piaCursorFirst ? AudioEngine::ramCursorLast : moved;
    return c > AudioEngine::piaCursorLast ? AudioEngine::piaCursorLast : c;
}

// Z and back: the processor stopped, up to n steps undone, the clock where the processor is.
void stepBack(AudioEngine& engine, std::uint64_t n) {
    Mc6802& cpu = *engine.cpu;
    engine.control->setRunning(false);
    if (cpu.history != nullptr) cpu.history->back(cpu, n);
    engine.debugger.started(cpu); // the last stop's reason no longer holds
    engine.clockCycles = cpu.cycleCount;
}

void noteHistory(AudioEngine& engine) {
    const History* const history = engine.cpu->history;
    engine.debugger.status.history = history != nullptr ? history->depth(*engine.cpu) : 0;
}

} // namespace

void AudioEngine::applyCommands() {
    ControlBlock& c = *control;
    // What a batch does to the processor is no step of the program's: the history checkpoints
    // it before the processor runs again, before the steps below and after the rest.
    History* const history = cpu->history;
    if (history != nullptr) history->changed();

    editCursor = moveCursor(editCursor, c);

    if (c.switchInstructionSet) {
        cpu->instructionSet = cpu->instructionSet == InstructionSet::Board
                                  ? InstructionSet::Complete
                                  : InstructionSet::Board;
        cpu->waiting = false; // the board's set has no wait state
    }

    TraceRing* const trace = traceTap.load(std::memory_order_acquire);
    const bool running = c.isRunning();
    if (!running && (c.step || c.stepOver || c.stepOut)) {
        debugger.cancelGoal();
        debugger.started(*cpu);
        bool goal = true;
        if (c.stepOut)
            debugger.stepOut(*cpu);
        else if (!c.stepOver || !debugger.stepOver(*cpu))
            goal = false;
        if (goal) {
            // Runs the processor until the goal is met (or the user stops it).
            wasRunning = true;
            c.setRunning(true);
        } else {
            debugger.step(*cpu, trace);
        }
    }
    if (c.back > 0) stepBack(*this, static_cast<std::uint64_t>(c.back));

    for (std::int32_t i = 0; i < c.commandCount; ++i) {
        const ControlBlock::Command& command = c.commands[static_cast<std::size_t>(i)];
        switch (command.kind) {
        case ControlBlock::Command::Kind::Break: debugger.toggleBreak(command.value); break;
        case ControlBlock::Command::Kind::Watch: debugger.toggleWatch(*cpu, command.value); break;
        case ControlBlock::Command::Kind::Sound:
            // The byte typed into the command latch, then the interrupt: an edit, no heat.
            cpu->memory[Mc6802::commandLatch] = static_cast<std::uint8_t>(command.value);
            debugger.interrupt(*cpu, trace);
            break;
        }
    }

    if (c.hasLine) apply(c.line);

    if (c.irq) debugger.interrupt(*cpu, trace);

    const std::int32_t nibble = cursorNibble(editCursor, memoryBase);
    // RAM shown above the write window (`mem f800`) can be looked at, not edited.
    if (c.hexDigit != -1 && nibble / 2 <= Mc6802::writeWindowLast) {
        const auto address = static_cast<std::uint16_t>(nibble / 2);
        const auto digit = static_cast<std::uint8_t>(c.hexDigit & 0x0F);
        std::uint8_t& byte = cpu->memory[address];
        // An edit is not a processor access: no heat.
        byte = (nibble & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | digit)
                            : static_cast<std::uint8_t>((byte & 0x0F) | digit << 4);
        ++editCursor; // may leave the range by one; the next batch's motion brings it back
    }

    if (c.adjust != 0) {
        const auto address = static_cast<std::uint16_t>(cursorNibble(editCursor, memoryBase) / 2);
        cpu->write8(address, static_cast<std::uint8_t>(cpu->read8(address) + c.adjust));
    }

    if (c.speedDelta != 0) {
        const std::int64_t s = std::int64_t{speed} + c.speedDelta;
        speed = s < minSpeed ? minSpeed : s > maxSpeed ? maxSpeed : static_cast<std::int32_t>(s);
    }

    // Last, so that it overrides whatever the batch did to registers and low memory.
    if (c.reset) {
        cpu->reset();
        debugger.processorReset();
    }
    if (history != nullptr) history->changed();
}

void AudioEngine::apply(const DebugCommand& command) {
    using Kind = DebugCommand::Kind;
    using Register = DebugCommand::Register;
    Mc6802& p = *cpu;
    const auto byte = static_cast<std::uint8_t>(command.value);
    switch (command.kind) {
    case Kind::Break: debugger.setBreak(command.address, command.condition); break;
    case Kind::Watch:
        debugger.setWatch(p, command.address, command.end, command.condition, command.access);
        break;
    case Kind::Delete: debugger.remove(p, command.address); break;
    case Kind::DeleteAll: debugger.removeAll(p); break;
    case Kind::Go:
        if (!control->isRunning()) {
            debugger.cancelGoal();
            debugger.started(p);
            wasRunning = true;
            control->setRunning(true);
        }
        if (command.hasAddress) debugger.runTo(command.address);
        break;
    case Kind::Register:
        switch (command.reg) {
        case Register::A: p.A = byte; break;
        case Register::B: p.B = byte; break;
        case Register::X: p.X = command.value; break;
        case Register::SP: p.SP = command.value; break;
        case Register::PC: p.PC = command.value; break;
        case Register::CC:
            p.CC = p.instructionSet == InstructionSet::Complete ? byte | Mc6802::ccHighOnes : byte;
            break;
        }
        break;
    case Kind::Memory: p.memory[command.address] = byte; break; // an edit: no heat
    case Kind::ShowMemory: memoryBase = command.address; break;
    case Kind::Send:
        p.memory[Mc6802::commandLatch] = byte;
        debugger.interrupt(p, traceTap.load(std::memory_order_acquire));
        break;
    case Kind::Irq: debugger.holdInterrupts(command.value != 0); break;
    case Kind::Back: stepBack(*this, command.count); break;
    case Kind::None:
    case Kind::Help:
    case Kind::List:
    case Kind::Save:
    case Kind::Load:
    case Kind::TraceOn:
    case Kind::TraceOff: break; // the App's, on the main thread
    }
    noteHistory(*this);
}

namespace {

void fillBuffer(AudioEngine& engine, Uint8* stream, int len) {
    ControlBlock& control = *engine.control;
    const std::size_t bytes = len > 0 ? static_cast<std::size_t>(len) : 0;
    const std::size_t n = bytes / sizeof(float);

    if (control.pending.load(std::memory_order_acquire)) {
        engine.applyCommands();
        control.pending.store(false, std::memory_order_release);
    }

    SampleRing* const tap = engine.recordTap.load(std::memory_order_acquire);
    SampleRing* const scope = engine.scopeTap.load(std::memory_order_acquire);
    Mc6802& cpu = *engine.cpu;
    const bool running = control.isRunning();
    if (running != engine.wasRunning) {
        if (running)
            engine.debugger.started(cpu);
        else
            engine.debugger.cancelGoal(); // stopped by the user
        engine.wasRunning = running;
    }
    noteHistory(engine);
    if (!running) {
        std::memset(stream, 0, bytes);
        if (tap != nullptr) tap->pushSilence(n);
        if (scope != nullptr) scope->pushSilence(n);
        return;
    }

    const auto s = static_cast<std::uint64_t>(engine.speed);
    const std::uint8_t* dac = cpu.memory + Mc6802::dacAddress;
    std::uint64_t target = engine.clockCycles;
    Uint8* out = stream;
    TraceRing* const trace = engine.traceTap.load(std::memory_order_acquire);
    const bool checking = engine.debugger.checking(trace);
    std::size_t i = 0;
    for (; i < n; ++i) {
        target += s;
        if (!checking) {
            cpu.runUntil(target);
        } else if (!engine.debugger.runUntil(cpu, target, trace)) {
            // A stop rule fired: silence from here on, as when stopped, and the clock stands
            // where the processor stopped.
            control.setRunning(false);
            engine.wasRunning = false;
            target = cpu.cycleCount;
            std::memset(out, 0, (n - i) * sizeof(float));
            out += (n - i) * sizeof(float);
            break;
        }
        const float sample = AudioEngine::sampleFor(*dac); // read directly: no heat bump
        std::memcpy(out, &sample, sizeof sample);
        out += sizeof sample;
    }
    engine.sampleCount += i;
    engine.clockCycles = target;
    noteHistory(engine);
    if (tap != nullptr) tap->push(stream, n);
    if (scope != nullptr) scope->push(stream, n);
    // A length that is not a whole number of samples leaves a few bytes that carry no sample.
    std::memset(out, 0, bytes - n * sizeof(float));
}

} // namespace

void audioCallback(void* userdata, Uint8* stream, int len) {
    auto& engine = *static_cast<AudioEngine*>(userdata);
    if (!engine.timing.enabled) {
        fillBuffer(engine, stream, len);
        return;
    }
    const Uint64 start = SDL_GetPerformanceCounter();
    const std::uint64_t cpuStart = AudioTiming::threadNanos();
    fillBuffer(engine, stream, len);
    const std::uint64_t frames = len > 0 ? static_cast<std::uint64_t>(len) / sizeof(float) : 0;
    engine.timing.record(SDL_GetPerformanceCounter() - start, AudioTiming::threadNanos() - cpuStart,
                         frames, AudioEngine::sampleRate);
}

int AudioEngine::openDevice() {
    timing.enabled = SDL_getenv("HUMMBOX_AUDIO_TIMING") != nullptr; // before the thread starts
    SDL_AudioSpec desired{};
    desired.freq = sampleRate;
    desired.format = AUDIO_F32LSB;
    desired.channels = 1;
    desired.samples = bufferFrames;
    desired.callback = audioCallback;
    desired.userdata = this;
    return SDL_OpenAudio(&desired, nullptr); // no obtained SDL_AudioSpec: SDL converts
}
