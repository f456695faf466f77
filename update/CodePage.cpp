#include "update/CodePage.h"

#include "update/Failure.h"

#include <QList>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace {

QString unencodableCharacter(const QString &character)
{
    const QString codePoint = QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QStringLiteral("The character \"%1\" (U+%2) cannot be written in code page %3")
        .arg(character, codePoint, CodePage::name());
}

} // namespace

#ifdef Q_OS_WIN

namespace {

// Converts one run of text with the ANSI code page; false when a character has no exact mapping.
bool toAnsi(const QString &text, QByteArray *bytes)
{
    if (text.isEmpty()) {
        bytes->clear();
        return true;
    }
    const auto wide = reinterpret_cast<const wchar_t *>(text.utf16());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), nullptr, 0, nullptr, &usedDefault);
    bytes->resize(size);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, int(text.size()), bytes->data(), size, nullptr, &usedDefault);
    return !usedDefault;
}

} // namespace

QString CodePage::name()
{
    return QString::number(GetACP());
}

QByteArray CodePage::encode(const QString &text)
{
    QByteArray bytes;
    if (toAnsi(text, &bytes))
        return bytes;
    QByteArray ignored;
    for (int i = 0; i < text.size(); i += text.at(i).isHighSurrogate() ? 2 : 1) {
        const QString character = text.mid(i, text.at(i).isHighSurrogate() ? 2 : 1);
        if (!toAnsi(character, &ignored))
            throw Failure(unencodableCharacter(character));
    }
    return bytes;
}

QString CodePage::decode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
    QString text(size, Qt::Uninitialized);
    MultiByteToWideChar(CP_ACP, 0, bytes.constData(), int(bytes.size()), reinterpret_cast<wchar_t *>(text.data()), size);
    return text;
}

#else

namespace {
constexpr const char *CodePage936 = "CP936";
}

QString CodePage::name()
{
    return QStringLiteral("936");
}

QByteArray CodePage::encode(const QString &text)
{
    QStringEncoder encoder(CodePage936);
    if (!encoder.isValid())
        throw Failure(QStringLiteral("This system offers no converter for code page 936"));
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;
    // Find the culprit so that the message can name it.
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        QStringEncoder single(CodePage936);
        const QByteArray ignored = single.encode(character);
        if (single.hasError())
            throw Failure(unencodableCharacter(character));
        i += length;
    }
    throw Failure(QStringLiteral("The text cannot be written in code page 936"));
}

QString CodePage::decode(const QByteArray &bytes)
{
    QStringDecoder decoder(CodePage936);
    return decoder.decode(bytes);
}

#endif
