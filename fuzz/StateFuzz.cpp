// Fuzzes the state loader. After a mode byte the input is a file (even mode) or edits of a valid
// state, (24-bit offset, byte) each (odd; bit 1 also rights the checksum). A refused file leaves
// the state alone; an accepted one saves again as the same bytes.
#include "capture/StateFile.h"
#include "fuzz/FuzzInput.h"

#include <zlib.h>

namespace {
StateFile state; // all zero, PC 0000: a state like any other
std::vector<std::uint8_t> held = state.encode();
const std::vector<std::uint8_t> valid = held;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    const std::uint8_t mode = in.u8();
    std::vector<std::uint8_t> file = mode & 1 ? valid : decltype(valid)(data + in.pos, data + size);
    while ((mode & 1) && !in.empty()) {
        const std::size_t offset = std::size_t{in.u8()} << 16 | in.u16();
        file[offset % file.size()] = in.u8();
    }
    const auto sum =
        crc32(0, file.data(), static_cast<uInt>(file.size() < 4 ? 0 : file.size() - 4));
    for (std::size_t i = 0; (mode & 2) && i < 4 && file.size() >= 4; ++i)
        file[file.size() - 1 - i] = static_cast<std::uint8_t>(sum >> 8 * i);
    std::string reason;
    const bool accepted = state.decode(file.data(), file.size(), reason);
    FUZZ_CHECK(accepted ? state.encode() == file : !reason.empty() && state.encode() == held);
    if (accepted) held = file;
    return 0;
}
