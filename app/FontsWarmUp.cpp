#include "FontsWarmUp.h"

#include <fontconfig/fontconfig.h>

// fontconfig keeps the configuration it loads for the process, and its
// loading is safe from any thread: a second caller either finds it or
// loads its own and drops it.
FontsWarmUp::FontsWarmUp() : reader_([] { FcInit(); })
{
}

FontsWarmUp::~FontsWarmUp()
{
    finish();
}

void FontsWarmUp::finish()
{
    if (reader_.joinable())
        reader_.join();
}
