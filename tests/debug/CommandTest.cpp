#include "debug/Command.h"
#include "tests/support/Machine.h"

#include <gtest/gtest.h>

namespace {

using Kind = DebugCommand::Kind;

// What a command does, as numbers: kind, address, end, value, go's address, the condition.
std::string describe(const DebugCommand& c, const Mc6802& cpu) {
    char text[64];
    std::snprintf(text, sizeof text, "%d %04X %04X %02X %d cond%d=%u", static_cast<int>(c.kind),
                  c.address, c.end, c.value, c.hasAddress, !c.condition.empty(),
                  c.condition.evaluate(cpu));
    return text;
}

} // namespace

// Good lines become a command and say what it does; a bad one leaves the command as it was
// and says in one line what is wrong. Breakpoints stand at F900..F906 (then F907 too: full),
// a watchpoint at 0400.
TEST(DebugCommand, LinesBecomeCommandsOrOneLineErrors) {
    const struct {
        const char* line;
        const char* answer;
        const char* command = ""; // describe() of its command
    } cases[] = {
        {"  ", "", "0 0000 0000 00 0 cond0=0"},
        {"b f806", "break F806", "1 F806 0000 00 0 cond0=0"},
        {"BREAK  f800+x-122e if a==3", "break F806 if a==3", "1 F806 0000 00 0 cond1=1"},
        {"b f907", "break F907"},
        {"w 0400-040f w if [0400]>7f", "watch 0400-040F if [0400]>7f", "2 0400 040F 00 0 cond1=1"},
        {"watch (x-1234)", "watch 0000", "2 0000 0000 00 0 cond0=0"},
        {"d f900", "deleted F900", "3 F900 0000 00 0 cond0=0"},
        {"d 400", "deleted 0400"},
        {"delete all", "deleted every breakpoint and watchpoint", "4 0000 0000 00 0 cond0=0"},
        {"g", "running", "5 0000 0000 00 0 cond0=0"},
        {"go {fffe}", "running to F800", "5 F800 0000 00 1 cond0=0"},
        {"a=#100", "A=64", "6 0000 0000 64 0 cond0=0"},
        {"sp = x+1", "SP=1235", "6 0000 0000 1235 0 cond0=0"},
        {"[10]=a+1", "[0010]=04", "7 0010 0000 04 0 cond0=0"},
        {"[0400+10] = ff", "[0410]=FF"},
        {"s 2", "send 02", "8 0000 0000 02 0 cond0=0"},
        {"help", "the commands are in the help box", "9 0000 0000 00 0 cond0=0"},
        {"w 10 RW if a==3", "watch 0010 rw if a==3", "2 0010 0010 00 0 cond1=1"},
        {"trace on if pc<f900", "trace on if pc<f900", "14 0000 0000 00 0 cond1=1"},
        {"trace on my trace.txt if a==4", "trace on my trace.txt if a==4"},
        {"trace off", "trace off", "15 0000 0000 00 0 cond0=0"},
        {"irq hold", "irq hold: a masked request waits for CLI", "16 0000 0000 01 0 cond0=0"},
        {"back #40", "back 28 (#40): only 20 (#32) instructions in history"},
    };
    const struct {
        const char* line;
        const char* answer;
    } refused[] = {
        {"frob 1", "unknown command 'frob' (try help)"},
        {"a==3", "unknown command 'a==3' (try help)"},
        {"breakx f800", "unknown command 'breakx' (try help)"},
        {"help me", "unknown command 'help' (try help)"},
        {"b qq", "address: unknown name 'qq' at column 1"},
        {"b", "address: empty expression"},
        {"b 10000", "address 10000 is past FFFF"},
        {"b f800 if", "condition: empty expression"},
        {"b f908", "breakpoints full (8): delete one first"},
        {"trace", "expected trace on [FILE] [if EXPR] or trace off"},
        {"irq keep", "expected irq drop or irq hold"},
        {"w 0410-0400", "the range ends before it starts"},
        {"d 1", "nothing is set at 0001"},
        {"cc=1ff", "value 1FF is past FF"},
        {"[0411]=1", "0411 is outside the write window 0000-0410"},
        {"[10]==1", "expected [ADDR]=VALUE"},
        {"[10=1", "expected [ADDR]=VALUE"},
        {"send 100", "value 100 is past FF"},
        {"back 0", "back needs a count of 1 or more"},
    };
    Machine m;
    m.cpu.A = 3, m.cpu.X = 0x1234;
    m.load(0xFFFE, {0xF8, 0x00});
    m.load(0x0400, {0x80});
    DebugStatus status;
    status.breakCount = 7;
    status.breakpoints = {0xF900, 0xF901, 0xF902, 0xF903, 0xF904, 0xF905, 0xF906, 0xF907};
    status.watchCount = 1;
    status.watchpoints[0] = 0x0400;
    status.history = 0x20;
    std::string answer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DebugCommand command;
        EXPECT_TRUE(DebugCommand::parse(c.line, nullptr, m.cpu, status, command, answer));
        EXPECT_EQ(answer, c.answer);
        EXPECT_TRUE(!*c.command || describe(command, m.cpu) == c.command)
            << describe(command, m.cpu);
    }
    status.breakCount = 8; // F907 too: full
    for (const auto& c : refused) {
        SCOPED_TRACE(c.line);
        DebugCommand command;
        command.kind = Kind::Send;
        EXPECT_FALSE(DebugCommand::parse(c.line, nullptr, m.cpu, status, command, answer));
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(command.kind, Kind::Send); // left as it was
    }
}
