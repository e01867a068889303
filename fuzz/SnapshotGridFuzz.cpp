// The snapshot reader, which a restore trusts with what it writes into a
// chip: whatever the text, it never crashes; what it accepts holds a full
// row and reads back the same when written out again; a cell that is not
// two hex digits, XX or blank in a grid row is refused, never skipped; and
// a byte-order mark in front changes nothing.

#include "Properties.h"
#include "protocol/Snapshot.h"

#include <cctype>
#include <cstdint>
#include <string>

namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// A second reading of one rule: a row line ("A0: ") with a cell that is
// none of the three accepted forms.
bool hasBadCell(std::string_view text)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() < 4 || line[2] != ':' || !isHex(line[0]) || line[1] != '0' || line[3] != ' ')
            continue;
        for (std::size_t at = 4; at < line.size() && at < 52; at += 3) {
            if (at + 2 > line.size())
                return line[at] != ' '; // half a cell
            const char a = line[at], b = line[at + 1];
            const bool ok = (isHex(a) && isHex(b)) || (a == ' ' && b == ' ') || (a == 'X' && b == 'X');
            if (!ok)
                return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto parsed = parseRegisterGrid(text, &error);

    // One mark: a second would be text in the first line.
    const std::string mark = "\xEF\xBB\xBF";
    std::string withMark;
    const auto marked = parseRegisterGrid(text.starts_with(mark) ? text : mark + text, &withMark);
    REQUIRE(parsed.has_value() == marked.has_value(), "a byte-order mark changed the verdict on '%s'",
            shown(text).c_str());

    if (!parsed) {
        REQUIRE(!error.empty(), "refused without a reason: '%s'", shown(text).c_str());
        return 0;
    }
    REQUIRE(!hasBadCell(text), "accepted a cell that is neither hex, XX nor blank: '%s'", shown(text).c_str());
    REQUIRE(parsed->count() >= 16, "accepted fewer than a full row: '%s'", shown(text).c_str());
    REQUIRE(marked->values == parsed->values && marked->present == parsed->present, "the mark changed the grid");

    // Written out and read again, every register it held is the same.
    const auto again = parseRegisterGrid(registerGridText(parsed->values, parsed->failed), &error);
    REQUIRE(again.has_value(), "its own grid text was refused: %s", error.c_str());
    for (std::size_t reg = 0; reg < 256; ++reg) {
        if (!parsed->present[reg])
            continue;
        REQUIRE(again->failed[reg] == parsed->failed[reg], "register %zu's XX did not survive", reg);
        REQUIRE(parsed->failed[reg] || again->values[reg] == parsed->values[reg], "register %zu changed", reg);
    }
    return 0;
}
