#include "update/RunRecord.h"

#include "platform/PathEntry.h"
#include "platform/PrivateFolder.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

const QString Tool = QStringLiteral("Mud3IPSetup");
constexpr int Format = 1;
// A record is a few kilobytes; anything much larger is not one.
constexpr qint64 MaxRecordSize = qint64(1) << 20;

const QStringList StateNames = {QStringLiteral("running"), QStringLiteral("complete"), QStringLiteral("failed")};
const QStringList KindNames = {QStringLiteral("run"), QStringLiteral("installation"), QStringLiteral("database"), QStringLiteral("settings")};

// Values travel as text, as the run sent them; the server converts them to the column's type.
QJsonValue toJson(const QVariant &value)
{
    return value.isNull() ? QJsonValue() : QJsonValue(value.toString());
}

QVariant fromJson(const QJsonValue &value)
{
    return value.isString() ? QVariant(value.toString()) : QVariant();
}

} // namespace

const QString RunRecord::FileName = QStringLiteral("run.json");

QByteArray RunRecord::toJson() const
{
    QJsonArray fileArray;
    for (const File &file : files) {
        fileArray.append(QJsonObject{{QStringLiteral("caption"), file.caption},
                                     {QStringLiteral("path"), file.path},
                                     {QStringLiteral("keptAs"), file.keptAs},
                                     {QStringLiteral("linkTarget"), file.linkTarget},
                                     {QStringLiteral("kept"), QString::fromLatin1(file.kept)},
                                     {QStringLiteral("written"), QString::fromLatin1(file.written)}});
    }
    QJsonArray rowArray;
    for (const Row &row : rows) {
        QJsonArray key;
        for (const auto &[name, value] : row.key)
            key.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("value"), ::toJson(value)}});
        QJsonArray columns;
        for (const Column &column : row.columns) {
            columns.append(QJsonObject{{QStringLiteral("name"), column.name},
                                       {QStringLiteral("before"), ::toJson(column.before)},
                                       {QStringLiteral("after"), ::toJson(column.after)}});
        }
        rowArray.append(QJsonObject{{QStringLiteral("table"), row.table}, {QStringLiteral("key"), key}, {QStringLiteral("columns"), columns}});
    }
    const QJsonObject object{{QStringLiteral("tool"), Tool},
                             {QStringLiteral("format"), Format},
                             {QStringLiteral("kind"), KindNames.at(int(kind))},
                             {QStringLiteral("sequence"), QString::number(sequence)},
                             {QStringLiteral("started"), started.toString(Qt::ISODateWithMs)},
                             {QStringLiteral("state"), StateNames.at(int(state))},
                             {QStringLiteral("note"), note},
                             {QStringLiteral("restores"), restores},
                             {QStringLiteral("installation"), installation},
                             {QStringLiteral("server"), server},
                             {QStringLiteral("database"), database},
                             {QStringLiteral("files"), fileArray},
                             {QStringLiteral("rows"), rowArray}};
    return QJsonDocument(object).toJson();
}

std::optional<RunRecord> RunRecord::fromJson(const QByteArray &bytes)
{
    const QJsonObject object = QJsonDocument::fromJson(bytes).object();
    bool sequenceRead = false;
    RunRecord record;
    record.sequence = object.value(QStringLiteral("sequence")).toString().toLongLong(&sequenceRead);
    const int state = StateNames.indexOf(object.value(QStringLiteral("state")).toString());
    // Records written before there were originals name no kind: they are runs.
    const int kind = KindNames.indexOf(object.value(QStringLiteral("kind")).toString(KindNames.first()));
    if (object.value(QStringLiteral("tool")).toString() != Tool || object.value(QStringLiteral("format")).toInt() != Format
        || !sequenceRead || record.sequence < 0 || state < 0 || kind < 0)
        return std::nullopt;
    record.kind = Kind(kind);
    record.started = QDateTime::fromString(object.value(QStringLiteral("started")).toString(), Qt::ISODateWithMs);
    record.state = State(state);
    record.note = object.value(QStringLiteral("note")).toString();
    record.restores = object.value(QStringLiteral("restores")).toString();
    record.installation = object.value(QStringLiteral("installation")).toString();
    record.server = object.value(QStringLiteral("server")).toString();
    record.database = object.value(QStringLiteral("database")).toString();
    for (const QJsonValue &value : object.value(QStringLiteral("files")).toArray()) {
        const QJsonObject file = value.toObject();
        record.files.push_back({file.value(QStringLiteral("caption")).toString(), file.value(QStringLiteral("path")).toString(),
                                file.value(QStringLiteral("keptAs")).toString(), file.value(QStringLiteral("linkTarget")).toString(),
                                file.value(QStringLiteral("kept")).toString().toLatin1(),
                                file.value(QStringLiteral("written")).toString().toLatin1()});
    }
    for (const QJsonValue &value : object.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject object = value.toObject();
        Row row{object.value(QStringLiteral("table")).toString(), {}, {}};
        for (const QJsonValue &key : object.value(QStringLiteral("key")).toArray())
            row.key.emplace_back(key.toObject().value(QStringLiteral("name")).toString(), ::fromJson(key.toObject().value(QStringLiteral("value"))));
        for (const QJsonValue &column : object.value(QStringLiteral("columns")).toArray()) {
            const QJsonObject fields = column.toObject();
            row.columns.push_back({fields.value(QStringLiteral("name")).toString(), ::fromJson(fields.value(QStringLiteral("before"))),
                                   ::fromJson(fields.value(QStringLiteral("after")))});
        }
        record.rows.push_back(row);
    }
    return record;
}

std::optional<RunRecord> RunRecord::readFrom(const PrivateFolder &folder)
{
    if (folder.kind(FileName) != PathEntry::Kind::File)
        return std::nullopt;
    return fromJson(folder.read(FileName, MaxRecordSize));
}

std::optional<RunRecord> RunRecord::readFrom(const QString &folder)
{
    const std::optional<PrivateFolder> opened = PrivateFolder::open(folder);
    return opened ? readFrom(*opened) : std::nullopt;
}

QString RunRecord::summary() const
{
    QStringList parts;
    qsizetype serverFiles = 0;
    bool settings = false;
    for (const File &file : files) {
        if (file.caption == QLatin1String("Settings.ini"))
            settings = true;
        else
            ++serverFiles;
    }
    if (serverFiles > 0)
        parts.append(serverFiles == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(serverFiles));
    if (settings)
        parts.append(QStringLiteral("Settings.ini"));
    if (!rows.empty())
        parts.append(rows.size() == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows.size()));
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral(", "));
}

QByteArray RunRecord::digestOf(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

bool RunRecord::sameValue(const QVariant &a, const QVariant &b)
{
    return a.isNull() == b.isNull() && a.toString() == b.toString();
}
