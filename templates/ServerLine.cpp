#include "templates/ServerLine.h"

QStringList textOf(const ServerLines &lines)
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
