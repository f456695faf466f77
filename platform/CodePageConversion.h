#pragma once

#include <QByteArray>
#include <QString>

// What each system offers CodePage: its code page, and a conversion that says when it is not exact.
namespace CodePageConversion {

constexpr unsigned ServerFilesCodePage = 936;

unsigned systemCodePage();

// Converts text; false when a character has no exact mapping in the code page.
bool encode(unsigned codePage, const QString &text, QByteArray *bytes);

} // namespace CodePageConversion
