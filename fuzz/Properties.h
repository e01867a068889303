#pragma once
// What the fuzz targets share: a property that fails stops the fuzzer with
// the input that broke it, and blanks can be put anywhere in a text.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define REQUIRE(condition, ...)                                                                    \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "property failed: %s\n", #condition);                            \
            std::fprintf(stderr, __VA_ARGS__);                                                    \
            std::fprintf(stderr, "\n");                                                           \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

// The text with blanks (space, tab, newline, as the selector's bits say)
// put before every character whose selector bit is set.
inline std::string withBlanksInserted(std::string_view text, unsigned selector)
{
    static constexpr char blanks[] = {' ', '\t', '\n'};
    std::string spread;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (selector >> (i % 32) & 1u)
            spread += blanks[(selector + i) % 3];
        if (i < text.size())
            spread += text[i];
    }
    return spread;
}

// Printable form of a text for failure messages.
inline std::string shown(std::string_view text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out;
}
