#include "platform/CodePage.h"
#include "platform/CodePageConversion.h"

#include <qt_windows.h>

unsigned CodePageConversion::systemCodePage()
{
    return GetACP();
}

// UTF-8 holds every character: Windows then refuses the request for exact mappings and the report of a
// default character, and would write nothing at all; a lone surrogate is what it cannot hold.
bool CodePageConversion::encode(unsigned codePage, const QString &text, QByteArray *bytes)
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

namespace {

// Converts bytes of a code page; with MB_ERR_INVALID_CHARS false for a byte sequence it does not define.
bool fromCodePage(UINT codePage, const char *bytes, int size, DWORD flags, QString *text)
{
    const int length = MultiByteToWideChar(codePage, flags, bytes, size, nullptr, 0);
    if (length == 0)
        return false;
    text->resize(length);
    MultiByteToWideChar(codePage, flags, bytes, size, reinterpret_cast<wchar_t *>(text->data()), length);
    return true;
}

// A byte sequence the code page does not define becomes U+FFFD, as elsewhere, rather than the "?" that
// Windows would put in its place without a word: a save then names the field instead of storing the "?".
QString decodeIn(UINT codePage, const QByteArray &bytes)
{
    QString text;
    if (bytes.isEmpty() || fromCodePage(codePage, bytes.constData(), int(bytes.size()), MB_ERR_INVALID_CHARS, &text))
        return text;
    if (codePage == CP_UTF8) { // Windows marks malformed UTF-8 with U+FFFD itself
        fromCodePage(codePage, bytes.constData(), int(bytes.size()), 0, &text);
        return text;
    }
    // Character by character: a lead byte with the byte after it, or a single byte.
    QString decoded;
    for (int i = 0; i < bytes.size();) {
        const int length = IsDBCSLeadByteEx(codePage, BYTE(bytes.at(i))) && i + 1 < bytes.size() ? 2 : 1;
        decoded += fromCodePage(codePage, bytes.constData() + i, length, MB_ERR_INVALID_CHARS, &text) ? text : QString(QChar::ReplacementCharacter);
        i += length;
    }
    return decoded;
}

} // namespace

QString CodePage::decode(const QByteArray &bytes)
{
    return decodeIn(GetACP(), bytes);
}

QString CodePage::decodeServerText(const QByteArray &bytes)
{
    return decodeIn(CodePageConversion::ServerFilesCodePage, bytes);
}
