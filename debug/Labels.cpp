#include "debug/Labels.h"

#include "cpu/Mc6802.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// A listing line: address (4 hex digits or blank), code bytes, the source line number
// right-aligned to column 25, two spaces, the source from column 28. Lines whose code does
// not fit carry the earlier bytes on lines of their own, with an address and no number.
constexpr std::size_t sourceColumn = 28;
constexpr std::size_t bytesColumn = 5;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The address at the start of a code line, or -1.
long codeAddress(std::string_view line) {
    if (line.size() < bytesColumn || line[4] != ' ') return -1;
    long value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = hexValue(line[i]);
        if (digit < 0) return -1;
        value = value << 4 | digit;
    }
    return value;
}

bool numbered(std::string_view line) {
    if (line.size() < sourceColumn || line[26] != ' ' || line[27] != ' ') return false;
    return std::isdigit(static_cast<unsigned char>(line[25])) != 0;
}

bool identifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}
bool identifierChar(char c) {
    return identifierStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// crasm lists at most three rows of seven bytes for one source line; a longer line (a long
// fill or text) runs on to where the next code begins.
constexpr std::size_t listedBytesMost = 21;

using DataKind = Labels::Data::Kind;

bool sameWord(std::string_view a, std::string_view lower) {
    if (a.size() != lower.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != lower[i]) return false;
    return true;
}

// What a source mnemonic puts into the image, when it is data.
bool dataKind(std::string_view mnemonic, DataKind& kind) {
    static constexpr struct {
        std::string_view name;
        DataKind kind;
    } directives[] = {{"db", DataKind::Bytes},    {"dl", DataKind::Bytes}, {"ddb", DataKind::Bytes},
                      {"align", DataKind::Bytes}, {"dw", DataKind::Words}, {"asc", DataKind::Text},
                      {"ds", DataKind::Space}};
    for (const auto& d : directives) {
        if (!sameWord(mnemonic, d.name)) continue;
        kind = d.kind;
        return true;
    }
    return false;
}

// The label (empty when the line has none) and the mnemonic of a source line.
void splitSource(std::string_view source, std::string_view& label, std::string_view& mnemonic) {
    std::size_t length = 0;
    if (!source.empty() && identifierStart(source[0]))
        while (length < source.size() && identifierChar(source[length]))
            ++length;
    label = source.substr(0, length);
    std::size_t at = length;
    while (at < source.size() && (source[at] == ' ' || source[at] == '\t'))
        ++at;
    std::size_t end = at;
    while (end < source.size() && identifierChar(source[end]))
        ++end;
    mnemonic = source.substr(at, end - at);
}

} // namespace

bool Labels::parse(std::string_view listing, const std::uint8_t* image, std::string& error) {
    entries.clear();
    data.clear();
    std::vector<Entry> found;
    std::vector<Data> lines;             // the data lines, in the listing's order
    std::vector<std::string> dataMacros; // macros whose bodies hold only data
    std::string macro;                   // the macro being defined, if any
    bool macroData = false;              // and whether its body is only data so far
    bool runsOn = false;                 // the last data line's listing was cut short
    long chunkStart = -1;                // first address of a line's code carried on earlier lines
    std::size_t chunkBytes = 0;
    bool anyCode = false;
    std::size_t lineNumber = 0;
    while (!listing.empty()) {
        const std::size_t end = std::min(listing.find('\n'), listing.size());
        std::string_view line = listing.substr(0, end);
        listing.remove_prefix(std::min(end + 1, listing.size()));
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const long address = codeAddress(line);
        std::size_t count = 0;
        if (address >= 0) {
            std::size_t column = bytesColumn;
            while (column + 1 < line.size() && hexValue(line[column]) >= 0 &&
                   hexValue(line[column + 1]) >= 0) {
                const long at = address + static_cast<long>(count);
                if (at < Mc6802::romBase || at > 0xFFFF) {
                    error = "line " + std::to_string(lineNumber) + ": code outside F800..FFFF";
                    return false;
                }
                const auto byte = static_cast<std::uint8_t>(hexValue(line[column]) << 4 |
                                                            hexValue(line[column + 1]));
                if (image[at - Mc6802::romBase] != byte) {
                    char where[64];
                    std::snprintf(where, sizeof where, "line %zu: the byte at %04lX differs",
                                  lineNumber, at);
                    error = where;
                    return false;
                }
                column += 2;
                ++count;
            }
            if (count > 0) {
                anyCode = true;
                // A cut-short line of data runs on up to here.
                if (runsOn && chunkStart < 0 && address > lines.back().address)
                    lines.back().end = std::max<std::uint32_t>(lines.back().end,
                                                               static_cast<std::uint32_t>(address));
                runsOn = false;
            }
            if (!numbered(line)) {
                if (count > 0 && chunkStart < 0) chunkStart = address;
                chunkBytes += count;
                continue;
            }
        }
        if (!numbered(line)) continue;
        const std::string_view source = line.substr(sourceColumn);
        const long lineAddress = chunkStart >= 0 ? chunkStart : address;
        const std::size_t bytes = chunkBytes + count;
        chunkStart = -1;
        chunkBytes = 0;
        std::string_view label, mnemonic;
        splitSource(source, label, mnemonic);
        DataKind kind = DataKind::Bytes;
        const bool isData = dataKind(mnemonic, kind);
        if (sameWord(mnemonic, "macro")) {
            macro = label;
            macroData = true;
        } else if (!macro.empty()) {
            if (sameWord(mnemonic, "endm")) {
                if (macroData) dataMacros.push_back(macro);
                macro.clear();
            } else if (!mnemonic.empty() && !isData) {
                macroData = false;
            }
            continue;
        }
        const bool dataMacro =
            std::any_of(dataMacros.begin(), dataMacros.end(),
                        [&](const std::string& m) { return sameWord(mnemonic, m); });
        if (address >= 0 && bytes > 0 && (isData || dataMacro)) {
            const auto first = static_cast<std::uint16_t>(lineAddress);
            lines.push_back(
                {first, static_cast<std::uint32_t>(lineAddress + static_cast<long>(bytes)), kind});
            runsOn = bytes >= listedBytesMost;
        }
        if (address < 0 || label.empty()) continue;
        found.push_back({static_cast<std::uint16_t>(lineAddress), std::string(label)});
    }
    if (!anyCode) {
        error = "no code lines";
        return false;
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Entry& a, const Entry& b) { return a.address < b.address; });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const Entry& a, const Entry& b) { return a.address == b.address; }),
                found.end());
    entries = std::move(found);
    std::stable_sort(lines.begin(), lines.end(),
                     [](const Data& a, const Data& b) { return a.address < b.address; });
    data = std::move(lines);
    return true;
}

void Labels::load(const std::string& imagePath, const std::uint8_t* image) {
    entries.clear();
    data.clear();
    std::filesystem::path path(imagePath);
    path.replace_extension(".lst");
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) return;
    const auto size = std::filesystem::file_size(path, ignored);
    std::string error;
    if (ignored || size > maxListingBytes) {
        error = "larger than 1 MiB";
    } else {
        // Read with stdio: a stream's read error (EIO, say) would throw out of the load.
        std::string text;
        int readError = 0;
        if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            for (std::size_t n; text.size() <= maxListingBytes &&
                                (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
                text.append(chunk, n);
            readError = std::ferror(in) ? errno : 0;
            std::fclose(in);
        } else {
            readError = errno;
        }
        if (readError == 0 && parse(text, image, error)) return;
        if (readError != 0) error = std::string("cannot be read: ") + std::strerror(readError);
    }
    std::fprintf(stderr, "hummbox: ignoring the labels in %s: %s\n", path.string().c_str(),
                 error.c_str());
}

const std::string* Labels::nameAt(std::uint16_t address) const {
    const auto it = std::lower_bound(entries.begin(), entries.end(), address,
                                     [](const Entry& e, std::uint16_t a) { return e.address < a; });
    return it != entries.end() && it->address == address ? &it->name : nullptr;
}

const Labels::Entry* Labels::find(std::string_view name) const {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [name](const Entry& e) { return e.name == name; });
    return it != entries.end() ? &*it : nullptr;
}

std::string Labels::containing(std::uint16_t address) const {
    const auto it = std::upper_bound(entries.begin(), entries.end(), address,
                                     [](std::uint16_t a, const Entry& e) { return a < e.address; });
    if (it == entries.begin()) return {};
    const Entry& label = *std::prev(it);
    if (label.address == address) return label.name;
    return label.name + '+' + std::to_string(address - label.address);
}

void Labels::labelOperand(char* text, std::size_t columns, std::int32_t branchTarget) const {
    const std::size_t length = std::strlen(text);
    // The operand is the text's last characters after a blank: "$hhhh" when extended,
    // "$hh" for a branch's displacement.
    const std::size_t digits = branchTarget >= 0 ? 2 : 4;
    if (length >= digits + 2 && text[length - digits - 1] == '$' &&
        text[length - digits - 2] == ' ') {
        unsigned value = 0;
        bool hex = true;
        for (std::size_t i = length - digits; i < length; ++i) {
            const int digit = hexValue(text[i]);
            hex = hex && digit >= 0;
            value = value << 4 | static_cast<unsigned>(digit < 0 ? 0 : digit);
        }
        if (branchTarget >= 0) value = static_cast<unsigned>(branchTarget);
        const std::string* name = hex ? nameAt(static_cast<std::uint16_t>(value)) : nullptr;
        if (name != nullptr) {
            const std::size_t start = length - digits - 1;
            const std::size_t room = columns > start ? columns - start : 0;
            const std::size_t n = std::min(name->size(), room);
            std::memcpy(text + start, name->data(), n);
            text[start + n] = '\0';
        }
    }
    if (std::strlen(text) > columns) text[columns] = '\0';
}

const Labels::Data* Labels::dataAt(std::uint16_t address) const {
    const auto it = std::upper_bound(data.begin(), data.end(), address,
                                     [](std::uint16_t a, const Data& d) { return a < d.address; });
    if (it == data.begin()) return nullptr;
    const Data& d = *std::prev(it);
    return address < d.end ? &d : nullptr;
}

std::int32_t Labels::dataRow(std::uint16_t address, const std::uint8_t* memory, char* text,
                             std::size_t columns) const {
    const Data* d = dataAt(address);
    if (d == nullptr) return -1;
    const std::uint32_t per = d->kind == DataKind::Text ? 5 : 2;
    const std::uint32_t rowEnd =
        d->kind == DataKind::Space
            ? d->end
            : std::min(d->end, d->address + ((address - d->address) / per + 1) * per);
    const std::uint32_t n = rowEnd - address;
    char row[40];
    int length = 0;
    const auto byteAt = [&](std::uint32_t i) { return memory[(address + i) & 0xFFFF]; };
    if (d->kind == DataKind::Space) {
        length = std::snprintf(row, sizeof row, "ds   $%x", static_cast<unsigned>(n));
    } else if (d->kind == DataKind::Words && n == 2) {
        const unsigned word = static_cast<unsigned>(byteAt(0) << 8 | byteAt(1));
        const std::string* name = nameAt(static_cast<std::uint16_t>(word));
        length = name != nullptr ? std::snprintf(row, sizeof row, "dw   %s", name->c_str())
                                 : std::snprintf(row, sizeof row, "dw   $%04x", word);
    } else if (d->kind == DataKind::Text) {
        length = std::snprintf(row, sizeof row, "asc  \"");
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint8_t c = byteAt(i);
            row[length++] = c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
        }
        row[length++] = '"';
    } else {
        length = std::snprintf(row, sizeof row, "db   ");
        for (std::uint32_t i = 0; i < n; ++i)
            length += std::snprintf(row + length, sizeof row - static_cast<std::size_t>(length),
                                    i == 0 ? "$%02x" : ",$%02x", byteAt(i));
    }
    const std::size_t shown = std::min(static_cast<std::size_t>(length), columns);
    std::memcpy(text, row, shown);
    text[shown] = '\0';
    return static_cast<std::int32_t>(rowEnd & 0xFFFF);
}
