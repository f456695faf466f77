#include "app/Settings.h"

#include "app/Form.h"
#include "update/CodePage.h"
#include "update/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <array>

namespace {

struct StoredField {
    const char *key;
    Field field;
};

// Lines 2 to 11, in file order; txtNICIP is never stored.
constexpr std::array<StoredField, 10> StoredFields{{
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

} // namespace

QString Settings::path()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Settings.ini");
}

void Settings::load(Form &form, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QStringList lines = CodePage::decode(file.readAll()).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (lines.last().isEmpty())
        lines.removeLast(); // what follows the last line end is no line
    // Line 1 is the section header. A file that ends early leaves the remaining fields alone.
    for (size_t i = 0; i < StoredFields.size() && int(i) + 1 < lines.size(); ++i) {
        const QString &line = lines.at(int(i) + 1);
        // Only the first "=" splits; a line without one yields itself, key and all.
        form.setFieldText(StoredFields[i].field, line.mid(line.indexOf(QLatin1Char('=')) + 1, MaxValueLength));
    }
}

void Settings::save(const FieldSource &fields, const QString &path)
{
    QStringList lines{QStringLiteral("[Settings]")};
    for (const StoredField &stored : StoredFields)
        lines << QLatin1String(stored.key) + QLatin1Char('=') + fields.fieldText(stored.field);
    TextFile::writeLines(path, lines, TextFile::IfMissing::Create);
}
