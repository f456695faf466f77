#include "platform/ControlFont.h"

// The window was laid out in MS Sans Serif; where it is missing, Liberation Sans, the sans serif that
// desktops here have, whose captions fit the window's controls.
QStringList controlFontFamilies()
{
    return {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")};
}
