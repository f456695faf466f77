#include "platform/CodePage.h"

#include "platform/Failure.h"

#include <QList>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#endif

namespace {

constexpr unsigned ServerFilesCodePage = 936;

#ifdef Q_OS_WIN

unsigned systemCodePage()
{
    return GetACP();
}

// Converts one run of text; false when a character has no exact mapping (or, in UTF-8, for a lone
// surrogate). UTF-8 holds every character: Windows then refuses the request for exact mappings and the
// report of a default character, and would write nothing at all.
bool convert(unsigned codePage, const QString &text, QByteArray *bytes)
{
    bytes->clear();
    if (text.isEmpty())
        return true;
    const auto wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *const reportDefault = utf8 ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(codePage, flags, wide, int(text.size()), nullptr, 0, nullptr, reportDefault);
    if (size <= 0)
        return false;
    bytes->resize(size);
    const int written = WideCharToMultiByte(codePage, flags, wide, int(text.size()), bytes->data(), size, nullptr, reportDefault);
    return written == size && !usedDefault;
}

#else

unsigned systemCodePage()
{
    return ServerFilesCodePage;
}

bool convert(unsigned, const QString &text, QByteArray *bytes)
{
    QStringEncoder encoder("CP936");
    if (!encoder.isValid())
        throw Failure(QStringLiteral("This system offers no converter for code page 936"));
    *bytes = encoder.encode(text);
    return !encoder.hasError();
}

#endif

// Throws Failure naming the first character that the code page cannot hold.
QByteArray encodeIn(unsigned codePage, const QString &text)
{
    QByteArray bytes;
    if (convert(codePage, text, &bytes))
        return bytes;
    QByteArray ignored;
    for (int i = 0; i < text.size();) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!convert(codePage, character, &ignored)) {
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

QByteArray CodePage::encodeServerText(const QString &text)
{
    return encodeIn(ServerFilesCodePage, text);
}

#ifdef Q_OS_WIN

namespace {

// Converts bytes of the ANSI code page; with MB_ERR_INVALID_CHARS false for a byte sequence it does not define.
bool fromAnsi(const char *bytes, int size, DWORD flags, QString *text)
{
    const int length = MultiByteToWideChar(CP_ACP, flags, bytes, size, nullptr, 0);
    if (length == 0)
        return false;
    text->resize(length);
    MultiByteToWideChar(CP_ACP, flags, bytes, size, reinterpret_cast<wchar_t *>(text->data()), length);
    return true;
}

} // namespace

// A byte sequence the code page does not define becomes U+FFFD, as elsewhere, rather than the "?" that
// Windows would put in its place without a word: a save then names the field instead of storing the "?".
QString CodePage::decode(const QByteArray &bytes)
{
    QString text;
    if (bytes.isEmpty() || fromAnsi(bytes.constData(), int(bytes.size()), MB_ERR_INVALID_CHARS, &text))
        return text;
    if (GetACP() == CP_UTF8) { // Windows marks malformed UTF-8 with U+FFFD itself
        fromAnsi(bytes.constData(), int(bytes.size()), 0, &text);
        return text;
    }
    // Character by character: a lead byte with the byte after it, or a single byte.
    QString decoded;
    for (int i = 0; i < bytes.size();) {
        const int length = IsDBCSLeadByteEx(CP_ACP, BYTE(bytes.at(i))) && i + 1 < bytes.size() ? 2 : 1;
        decoded += fromAnsi(bytes.constData() + i, length, MB_ERR_INVALID_CHARS, &text) ? text : QString(QChar::ReplacementCharacter);
        i += length;
    }
    return decoded;
}

#else

QString CodePage::decode(const QByteArray &bytes)
{
    QStringDecoder decoder("CP936");
    return decoder.decode(bytes);
}

#endif
