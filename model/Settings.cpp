#include "model/Settings.h"

#include "model/Form.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/PathEntry.h"
#include "platform/ProgramPath.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <array>
#include <optional>

namespace {

struct StoredField {
    const char *key;
    Field field;
};

// Lines 2 to 11, in file order; txtNICIP is never stored.
constexpr std::array<StoredField, Settings::StoredFieldCount> StoredFields{{
    {"ServerName", Field::txtServerName},
    {"ExternalIP", Field::txtExternalIP},
    {"InternalIP", Field::txtInternalIP},
    {"SQLIP", Field::txtSQLIP},
    {"SQLPass", Field::txtSQLPass},
    {"Mud3Path", Field::txtMud3Path},
    {"LGPort", Field::txtLGPort},
    {"SGPort", Field::txtSGPort},
    {"RG01Port", Field::txtRG01Port},
    {"RG02Port", Field::txtRG02Port},
}};

constexpr int MaxValueLength = 120;

// The tool writes short lines. A longer one is no line of a settings file: reading stops after it, so that a
// huge file can neither slow the start nor fill the memory.
constexpr qsizetype MaxLineBytes = 64 * 1024;

// Settings.ini line by line, as bytes. A byte-order mark decides the encoding, and with it how wide a line
// end is (a UTF-16 line end is two bytes); without one the file is in the ANSI code page, as the tool writes it.
class SettingsReader {
public:
    explicit SettingsReader(QIODevice &file)
        : m_file(file)
        , m_encoding(QStringConverter::encodingForData(file.peek(4)))
        , m_lineFeed(encoded(u"\n"))
        , m_carriageReturn(encoded(u"\r"))
    {
    }

    // The next line without its line end; none at the end of the file or after an overlong line.
    std::optional<QString> nextLine()
    {
        if (m_finished)
            return std::nullopt;
        QByteArray line;
        for (;;) {
            const QByteArray unit = m_file.read(m_lineFeed.size());
            // What follows the last line end is a line only if it is not empty; a part of a UTF-16 or UTF-32
            // code unit left at the very end is no character, and no line.
            if (unit.size() < m_lineFeed.size()) {
                m_finished = true;
                if (line.isEmpty())
                    return std::nullopt;
                break;
            }
            if (unit == m_lineFeed)
                break;
            if (unit == m_carriageReturn) {
                if (m_file.peek(m_lineFeed.size()) == m_lineFeed)
                    m_file.skip(m_lineFeed.size());
                break;
            }
            line += unit;
            if (line.size() >= MaxLineBytes) {
                m_finished = true;
                break;
            }
        }
        return decoded(line);
    }

private:
    QByteArray encoded(const char16_t *text) const
    {
        if (!m_encoding)
            return QString::fromUtf16(text).toLatin1();
        QStringEncoder encoder(*m_encoding);
        return encoder.encode(QString::fromUtf16(text));
    }

    QString decoded(const QByteArray &line) const
    {
        if (!m_encoding)
            return CodePage::decode(line);
        QStringDecoder decoder(*m_encoding);
        return decoder.decode(line);
    }

    QIODevice &m_file;
    const std::optional<QStringConverter::Encoding> m_encoding;
    const QByteArray m_lineFeed;
    const QByteArray m_carriageReturn;
    bool m_finished = false;
};

} // namespace

QString Settings::path()
{
    return programFolder() + QStringLiteral("/Settings.ini");
}

int Settings::load(Form &form, const QString &path, int *named)
{
    if (named)
        *named = 0;
    // Only a regular file: opening a pipe would wait for a writer.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return 0;
    SettingsReader reader(file);
    // Line 1 is the section header. A file that ends early leaves the remaining fields alone.
    const std::optional<QString> header = reader.nextLine();
    if (!header)
        return 0;
    bool inOrder = *header == QLatin1String("[Settings]");
    int supplied = 0;
    for (const StoredField &stored : StoredFields) {
        const std::optional<QString> line = reader.nextLine();
        if (!line)
            break;
        // Only the first "=" splits; a line without one yields itself, key and all.
        const qsizetype equals = line->indexOf(QLatin1Char('='));
        form.setFieldText(stored.field, line->mid(equals + 1, MaxValueLength));
        ++supplied;
        inOrder = inOrder && equals >= 0 && QStringView(*line).left(equals) == QLatin1String(stored.key);
        if (named && inOrder)
            ++*named;
    }
    return supplied;
}

QByteArray Settings::encode(const FieldSource &fields, const QString &path)
{
    QByteArray bytes = CodePage::encodeLines({QStringLiteral("[Settings]")});
    for (const StoredField &stored : StoredFields) {
        const QString key = QLatin1String(stored.key);
        try {
            bytes += CodePage::encodeLines({key + QLatin1Char('=') + fields.fieldText(stored.field)});
            requireNoControlCharacter(stored.field, fields.fieldText(stored.field));
        } catch (const Failure &failure) {
            // Typically a value loaded from bytes that the code page does not define: say which field to retype.
            throw Failure(causeAt(path, QStringLiteral("%1 cannot be saved; retype the field \"%2\". %3")
                                            .arg(key, QString::fromUtf8(definitionOf(stored.field).labelText), failure.cause())));
        }
    }
    return bytes;
}

QString Settings::writtenPath(const QString &path)
{
    return ownLinkTarget(path);
}

void Settings::check(const FieldSource &fields, const QString &path)
{
    encode(fields, path);
    const QString written = writtenPath(path);
    FileReplacement::check(written, FileReplacement::IfMissing::Create);
    // The old file is kept before it is replaced.
    if (PathEntry::at(written).kind == PathEntry::Kind::File)
        readRegularFile(written, MaxFileSize);
}

void Settings::save(const FieldSource &fields, const QString &path)
{
    FileReplacement::replace(writtenPath(path), encode(fields, path), FileReplacement::IfMissing::Create);
}
