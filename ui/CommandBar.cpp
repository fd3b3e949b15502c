#include "ui/CommandBar.h"

#include "ui/StatusLine.h"

#include <cstring>

void CommandBar::format(char (&out)[columns + 1], int& answerAt) const {
    std::memset(out, ' ', columns);
    out[columns] = '\0';
    answerAt = columns;
    if (open) {
        // The end of a long line stays in view, the cursor after it.
        const std::string shown = text + '_';
        const std::size_t room = columns - 1;
        const std::size_t from = shown.size() > room ? shown.size() - room : 0;
        out[0] = ':';
        std::memcpy(out + 1, shown.data() + from, shown.size() - from);
        return;
    }
    if (last.empty()) return;
    out[0] = ':';
    StatusLine::fit(last.data(), last.size(), out + 1, lastColumns - 1);
    answerAt = lastColumns + 1;
    StatusLine::fit(answer.data(), answer.size(), out + answerAt,
                    static_cast<std::size_t>(columns - answerAt));
}
