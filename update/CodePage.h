#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit code page of every text file the tool reads or writes: the system's ANSI code page on
// Windows, code page 936 elsewhere (it holds the Chinese texts of the server files).
namespace CodePage {

QString name();

// Throws Failure naming the first character that the code page cannot hold; never substitutes "?".
QByteArray encode(const QString &text);

// Never fails: a byte sequence the code page does not define becomes U+FFFD.
QString decode(const QByteArray &bytes);

} // namespace CodePage
