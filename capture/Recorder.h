#pragma once

#include "audio/SampleRing.h"
#include "capture/RingFileWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct AudioEngine;
struct sf_private_tag;

// Records what the audio callback outputs into numbered WAV files (hummbox-001.wav, ...; the
// first free number, never overwriting), 48 kHz mono float. The file is written in place
// with its header brought up to date after every write: a crash or a full disk leaves a
// readable recording of what came before.
class Recorder : public RingFileWriter<SampleRing> {
  public:
    static constexpr std::size_t ringSamples = std::size_t{1} << 19; // about 10.9 s

    Recorder();
    ~Recorder() override { stop(); }

    // Set once, before the first start: the callback's record tap.
    void attach(AudioEngine& engine);

    bool recording() const { return active(); }
    // "REC hummbox-001.wav 12.3 s" while recording, "saved ..." after, or the last error.
    std::string statusText() const;
    std::uint64_t framesWritten() const { return itemsWritten(); }
    std::uint64_t samplesDropped() const { return itemsDropped(); }

  private:
    bool openFormat(int fd, std::string& reason) override;
    bool writeItems(const float* samples, std::size_t n, std::string& reason) override;
    bool closeFormat(bool failed, std::string& reason) override;

    sf_private_tag* file = nullptr;
};
