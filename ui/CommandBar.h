#pragma once

#include <string>

// The debugger's command line on the screen: one row in the free strip between the PROM
// panel and the listing above and the scope below. While it is open it shows the line
// being typed; once a line has run, that line and its answer stay until the next one.
struct CommandBar {
    static constexpr int x = 0;
    static constexpr int y = 697; // the PROM panel and the listing end at 696, the scope at 707
    static constexpr int columns = 92;
    static constexpr int lastColumns = 40; // the line run, then the answer after it

    bool open = false;
    std::string text;   // being typed
    std::string last;   // run
    std::string answer; // what came of it
    bool failed = false;

    // The row as columns characters, blank-padded; nothing to show gives an empty row.
    // answerAt is the column where the answer begins (columns while open).
    void format(char (&out)[columns + 1], int& answerAt) const;
};
