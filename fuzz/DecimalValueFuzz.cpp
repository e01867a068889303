// The duty field's decimal reading: the trimmed number text of any duty
// percent reads back as that percent, blanks anywhere change nothing, and no
// text reads as "not a number".

#include "Properties.h"
#include "chip/Conversions.h"
#include "chip/ValueText.h"

#include <cmath>
#include <cstdint>

namespace rm = RegisterMap;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = rm::decimalValue(text);
    REQUIRE(!std::isnan(value), "'%s' read as NaN", shown(text).c_str());

    const unsigned selector = size >= 4 ? data[0] | data[1] << 8 | data[2] << 16 | unsigned(data[3]) << 24 : 0x9;
    const std::string spread = withBlanksInserted(text, selector);
    const double spreadValue = rm::decimalValue(spread);
    REQUIRE(spreadValue == value || (std::isnan(spreadValue) && std::isnan(value)), "blanks changed '%s': %g vs %g",
            shown(spread).c_str(), spreadValue, value);

    if (size >= 1) {
        // What the duty display shows for a register byte reads back as the same percent.
        const std::uint8_t percent = rm::dutyPercent(data[0]);
        const std::string shownPercent = rm::trimmedNumberText(percent);
        REQUIRE(rm::decimalValue(shownPercent) == percent, "'%s' of %d %%", shownPercent.c_str(), percent);
        REQUIRE(rm::decimalValue(withBlanksInserted(shownPercent, selector)) == percent, "spread '%s'",
                shownPercent.c_str());
    }
    return 0;
}
