#include "preview/VisibleText.h"

#include <QStringList>

namespace {

bool reordersText(char16_t character)
{
    return character == 0x061C || character == 0x200E || character == 0x200F || (character >= 0x202A && character <= 0x202E)
        || (character >= 0x2066 && character <= 0x2069);
}

} // namespace

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const char16_t code = character.unicode();
        if (code < 0x20)
            shown += QChar(0x2400 + code);
        else if (code == 0x7F)
            shown += QChar(0x2421);
        else if (character.category() == QChar::Other_Control || character.category() == QChar::Separator_Line
                 || character.category() == QChar::Separator_Paragraph || reordersText(code))
            shown += QStringLiteral("\\u") + QString::number(unsigned(code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        else
            shown += character;
    }
    return shown;
}

QString visibleLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = visibleText(line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
    return lines.join(QLatin1Char('\n'));
}
