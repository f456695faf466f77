#include "platform/ControlFont.h"

// MS Sans Serif's 12-point line (20 px) is taller than the inside of the window's 25 px buttons, and
// Windows' buttons cut rows off its letters. Arial, which every Windows has, fits them, as its metric
// twin Liberation Sans does elsewhere.
QStringList controlFontFamilies()
{
    return {QStringLiteral("Arial")};
}
