#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// A piece of a line of a server file, marked with where it comes from. The template's own text is the
// server processes' (its Chinese section names are code page 936 bytes to them); what the user typed is
// the system's. FileTarget::content() writes each in its own code page.
struct LinePiece {
    enum Origin { Fixed, Typed };
    Origin origin;
    QString text;

    static LinePiece fixed(const QString &text) { return {Fixed, text}; }
    static LinePiece typed(const QString &text) { return {Typed, text}; }
};

// One line of a server file, without its line end.
using ServerLine = QList<LinePiece>;
using ServerLines = QList<ServerLine>;

// A line of the template's own text alone.
inline ServerLine fixedLine(const QString &text)
{
    return {LinePiece::fixed(text)};
}

// The lines as text, origins dropped.
QStringList textOf(const ServerLines &lines);
