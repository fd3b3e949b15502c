// Live reload: the App's half of the image watcher. A settled change of the loaded image or
// its listing loads the image again as L and Return would, but keeps the breakpoints and
// watchpoints (moved with their labels), the speed, the instruction set and the run state.
#include "app/App.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

// Where a point at address goes when the labels change from before to after: one at a
// label's address follows the label to wherever the new listing puts it; any other stays.
std::uint16_t followLabel(const Labels& before, const Labels& after, std::uint16_t address) {
    const std::string* name = before.nameAt(address);
    const Labels::Entry* moved = name != nullptr ? after.find(*name) : nullptr;
    return moved != nullptr ? moved->address : address;
}

} // namespace

std::uint64_t App::nowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void App::watchLoaded() {
    const std::filesystem::path path = browser.directory / browser.loadedFileName;
    watcher.watch(path, nowMs());
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (!ec) settings.lastImage = absolute.lexically_normal().string();
    reloadNotice.clear();
}

void App::reloadIfChanged() {
    std::string why;
    const ImageWatcher::Change change = watcher.poll(nowMs(), why);
    if (change == ImageWatcher::Change::None) return;
    const std::string& name = browser.loadedFileName;
    const std::filesystem::path path = browser.directory / name;
    RomImage image;
    if (change == ImageWatcher::Change::Load && RomImage::read(path, image, why) &&
        !image.complete())
        why = "too short: " + std::to_string(image.length) + " bytes"; // shrank meanwhile
    if (change != ImageWatcher::Change::Load || !why.empty()) {
        std::fprintf(stderr, "hummbox: %s changed but is not loaded: %s; the old image plays on\n",
                     name.c_str(), why.c_str());
        reloadNotice = why;
        return;
    }
    // Read outside the lock: the audio thread waits only for the copy and the reset.
    Labels labels;
    labels.load(path.string(), image.bytes.data());
    SDL_LockAudio();
    std::memcpy(cpu.memory + Mc6802::romBase, image.bytes.data(), image.size);
    cpu.reset();
    Debugger& debugger = audio.debugger;
    debugger.processorReset();
    // Every point is cleared, then set again where its label went, in the order set.
    const DebugStatus old = debugger.status;
    for (std::int32_t i = old.breakCount; i-- > 0;)
        debugger.toggleBreak(old.breakpoints[static_cast<std::size_t>(i)]);
    for (std::int32_t i = old.watchCount; i-- > 0;)
        debugger.toggleWatch(cpu, old.watchpoints[static_cast<std::size_t>(i)]);
    for (std::int32_t i = 0; i < old.breakCount; ++i) {
        const auto to = followLabel(browser.labels, labels, old.breakpoints[std::size_t(i)]);
        if (!debugger.status.isBreakpoint(to)) debugger.toggleBreak(to);
    }
    for (std::int32_t i = 0; i < old.watchCount; ++i) {
        const auto to = followLabel(browser.labels, labels, old.watchpoints[std::size_t(i)]);
        const auto& set = debugger.status.watchpoints;
        if (std::find(set.begin(), set.begin() + debugger.status.watchCount, to) ==
            set.begin() + debugger.status.watchCount)
            debugger.toggleWatch(cpu, to);
    }
    debugger.status.full = old.full;
    SDL_UnlockAudio();
    browser.labels = std::move(labels);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", localtime_r(&now, &local));
    reloadNotice = std::string("reloaded ") + clock;
}
