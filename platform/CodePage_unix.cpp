#include "platform/CodePage.h"
#include "platform/CodePageConversion.h"

#include "platform/Failure.h"

#include <QStringDecoder>
#include <QStringEncoder>

// Without an ANSI code page of the system's, everything is in the server files' own.
unsigned CodePageConversion::systemCodePage()
{
    return ServerFilesCodePage;
}

bool CodePageConversion::encode(unsigned, const QString &text, QByteArray *bytes)
{
    QStringEncoder encoder("CP936");
    if (!encoder.isValid())
        throw Failure(QStringLiteral("This system offers no converter for code page 936"));
    *bytes = encoder.encode(text);
    return !encoder.hasError();
}

QString CodePage::decode(const QByteArray &bytes)
{
    QStringDecoder decoder("CP936");
    return decoder.decode(bytes);
}

QString CodePage::decodeServerText(const QByteArray &bytes)
{
    return decode(bytes);
}
