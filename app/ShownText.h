#pragma once

#include <QString>

// Past this, a line or a value is shown cut: no line of a server file or value of a row comes near it.
constexpr qsizetype MaxShownLength = 2000;

// Text as the dialogs show it in a line or a cell: whole up to MaxShownLength, beyond it cut, with the length
// of the whole it stands for said, so that a huge line or value costs no more to lay out and draw than a
// short one.
inline QString shownWithin(const QString &text, qsizetype wholeLength)
{
    if (text.size() <= MaxShownLength)
        return text;
    return text.left(MaxShownLength) + QStringLiteral("\u2026 (%1 characters in all)").arg(wholeLength);
}
