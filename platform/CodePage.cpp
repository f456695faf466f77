#include "platform/CodePage.h"

#include "platform/CodePageConversion.h"
#include "platform/Failure.h"

using namespace CodePageConversion;

namespace {

// Throws Failure naming the first character that the code page cannot hold.
QByteArray encodeIn(unsigned codePage, const QString &text)
{
    QByteArray bytes;
    if (encode(codePage, text, &bytes))
        return bytes;
    QByteArray ignored;
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!encode(codePage, character, &ignored)) {
            const QString codePoint = QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, QLatin1Char('0'));
            throw Failure(QStringLiteral("The character \"%1\" (U+%2) cannot be written in code page %3")
                              .arg(character, codePoint, QString::number(codePage)));
        }
        i += length;
    }
    throw Failure(QStringLiteral("The text cannot be written in code page %1").arg(codePage));
}

} // namespace

QString CodePage::name()
{
    return QString::number(systemCodePage());
}

QByteArray CodePage::encode(const QString &text)
{
    return encodeIn(systemCodePage(), text);
}

QByteArray CodePage::encodeLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        bytes += encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray CodePage::encodeServerText(const QString &text)
{
    return encodeIn(ServerFilesCodePage, text);
}
