#include "audio/OfflineRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

OfflineRenderer::OfflineRenderer() {
    engine.cpu = &board.cpu;
    engine.control = &control;
    board.cpu.reset();
}

void OfflineRenderer::loadImage(const std::uint8_t* image) {
    std::memcpy(board.memory.data() + Mc6802::romBase, image, Mc6802::romSize);
    board.cpu.reset();
}

void OfflineRenderer::queueInterrupt(int command) {
    if (command >= 0) board.memory[commandLatch] = static_cast<std::uint8_t>(command);
    control.clearBatch();
    control.irq = true;
    control.pending.store(true, std::memory_order_release);
}

const std::array<float, OfflineRenderer::frames>& OfflineRenderer::renderBuffer() {
    control.setRunning(true);
    audioCallback(&engine, reinterpret_cast<Uint8*>(buffer.data()),
                  static_cast<int>(sizeof(buffer)));
    return buffer;
}

RenderResult OfflineRenderer::render(const RenderJob& job) {
    board.cpu.reset();
    recordingStart = {};
    engine.speed = std::clamp(job.speed, AudioEngine::minSpeed, AudioEngine::maxSpeed);

    std::vector<double> times = job.interruptTimes;
    std::sort(times.begin(), times.end());
    const auto toSamples = [](double seconds) {
        return static_cast<std::uint64_t>(
            std::llround(std::max(0.0, seconds) * AudioEngine::sampleRate));
    };
    const std::uint64_t length = toSamples(job.seconds);
    const std::uint64_t steadyLimit = job.stopWhenSteady > 0 ? toSamples(job.stopWhenSteady) : 0;
    const std::uint64_t bootLimit = toSamples(job.bootLimit);

    RenderResult result;
    result.samples.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(length, 64u << 20)));
    bool recording = !job.fromFirstInterrupt;
    if (recording) recordingStart = {true, engine.clockCycles, board.cpu.SP};
    std::size_t next = 0;        // next interrupt time to serve
    std::uint64_t elapsed = 0;   // samples since reset
    std::uint64_t steadyFor = 0; // samples since the DAC byte last changed
    float previous = AudioEngine::sampleFor(board.memory[Mc6802::dacAddress]);

    std::uint64_t checkedAt = 0; // the buffer boundary last looked at
    bool masked = false;         // there, the next request was due but masked
    while (result.samples.size() < length) {
        bool interrupted = false;
        const bool due = next < times.size() && elapsed >= toSamples(times[next]);
        checkedAt = elapsed;
        masked = due && !interruptsOpen();
        if (due && !masked) {
            if (!recording) recordingStart = {true, engine.clockCycles, board.cpu.SP};
            queueInterrupt(job.command);
            interrupted = true;
            ++next;
            if (!recording) {
                recording = true;
                previous = AudioEngine::sampleFor(board.memory[Mc6802::dacAddress]);
            }
        }
        if (!recording && (next >= times.size() || elapsed >= bootLimit))
            break; // nothing will start the recording
        const std::array<float, frames>& out = renderBuffer();
        if (afterBuffer) afterBuffer();
        elapsed += frames;
        if (!recording) continue;
        if (interrupted) {
            result.interruptSamples.push_back(result.samples.size());
            steadyFor = 0;
        }
        for (float sample : out) {
            if (result.samples.size() >= length) break;
            if (sample != previous) {
                result.changed = true;
                result.lastChange = result.samples.size();
                steadyFor = 0;
            } else {
                ++steadyFor;
            }
            previous = sample;
            result.samples.push_back(sample);
        }
        if (steadyLimit > 0 && next >= times.size() && steadyFor >= steadyLimit) break;
    }
    // Requests left over were held back by the mask if the last boundary found the next one
    // due and masked (those due by then wait behind it); the rest were not due before the end.
    for (std::size_t i = next; i < times.size(); ++i)
        ++(masked && toSamples(times[i]) <= checkedAt ? result.interruptsMissed
                                                      : result.interruptsLate);
    return result;
}
