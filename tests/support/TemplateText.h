#pragma once

#include "templates/Template.h"

#include <QStringList>

// A file target's lines as text, without the origins of their pieces.
inline QStringList textOf(const ServerLines &lines)
{
    QStringList texts;
    for (const ServerLine &line : lines) {
        QString text;
        for (const LinePiece &piece : line)
            text += piece.text;
        texts << text;
    }
    return texts;
}
