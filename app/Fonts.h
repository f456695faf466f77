#pragma once

#include <QFont>

// The dialogs' fonts, each one that the system has: a font it lacks would be drawn in a fallback face, a
// serif one under Wine. The window itself keeps the font it was laid out in (Form1::controlFont).
namespace Fonts {

// The system's UI font, in which the dialogs are laid out by the system's metrics.
QFont dialog();

// A fixed-pitch font for a file's text, so that its columns line up.
QFont fixedPitch();

} // namespace Fonts
