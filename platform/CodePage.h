#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The 8-bit code pages of the text files the tool reads and writes. The server files are code page 936
// files: their Chinese section names are bytes the server processes look for. What a user types and the
// settings file are in the system's code page: its ANSI code page on Windows, 936 elsewhere.
namespace CodePage {

// The system's code page, e.g. "936", "1252" or "65001" (UTF-8).
QString name();

// Text in the system's code page. Throws Failure naming the first character that the code page cannot
// hold; never substitutes "?".
QByteArray encode(const QString &text);

// The lines, each ended by CR LF, in the system's code page; throws as encode() does.
QByteArray encodeLines(const QStringList &lines);

// The template's own text of a server file, in code page 936 whatever the system's code page.
QByteArray encodeServerText(const QString &text);

// Never fails: a byte sequence the system's code page does not define becomes U+FFFD.
QString decode(const QByteArray &bytes);

// A server file's bytes as text, read in code page 936, the server files' own, whatever the system's code page.
QString decodeServerText(const QByteArray &bytes);

} // namespace CodePage
