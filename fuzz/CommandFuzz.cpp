// Fuzzes the command line: the first 10 bytes set the registers and whether labels are known
// (with every point taken, or none); the rest is the line. A refused line leaves the command as it
// was and says why; a read one answers unless blank, and its file name lies inside the line.
#include "cpu/Board.h"
#include "debug/Command.h"
#include "debug/Labels.h"
#include "fuzz/FuzzInput.h"

#include <cstring>

namespace {
Board board;
const Labels labels{{{0x0400, "dac"}, {0xF800, "reset"}, {0xF84A, "delay"}, {0xFFF8, "irq.vec"}},
                    {}};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in{data, size};
    board.setState({in.u8(), in.u8(), in.u8(), in.u16(), in.u16(), in.u16()});
    Mc6802& cpu = board.cpu;
    DebugStatus status;
    const std::uint8_t options = in.u8();
    status.breakCount = status.watchCount = options & 1 ? DebugStatus::maxPoints : 0;
    const std::string_view line(reinterpret_cast<const char*>(data + in.pos), size - in.pos);

    DebugCommand out, before;
    out.kind = DebugCommand::Kind::Send;
    std::memcpy(&before, &out, sizeof out); // the padding too
    std::string answer;
    if (!DebugCommand::parse(line, options & 0x80 ? &labels : nullptr, cpu, status, out, answer)) {
        FUZZ_CHECK(std::memcmp(&before, &out, sizeof out) == 0 && !answer.empty());
        return 0;
    }
    FUZZ_CHECK(std::size_t{out.fileAt} + out.fileLength <= line.size());
    const bool blank = line.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
    FUZZ_CHECK(answer.empty() == blank && (out.kind == DebugCommand::Kind::None) == blank);
    return 0;
}
