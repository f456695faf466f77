#pragma once

#include <QColor>

// How the review views mark a change, as diff viewers do: the old side tinted red, the new side green, and
// what changed within them in a deeper shade; grey where a side has nothing. A failure is said in red, what
// stays as it is in grey.
namespace DiffColours {

inline QColor oldLine() { return {0xfb, 0xe0, 0xe0}; }
inline QColor newLine() { return {0xdd, 0xf4, 0xdd}; }
inline QColor oldText() { return {0xf2, 0xa8, 0xa8}; }
inline QColor newText() { return {0x9c, 0xde, 0x9c}; }
inline QColor nothing() { return {0xee, 0xee, 0xee}; }
inline QColor failure() { return {0xb0, 0x00, 0x00}; }
inline QColor unchanged() { return {0x70, 0x70, 0x70}; }

} // namespace DiffColours
