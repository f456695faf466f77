#include "update/FileTarget.h"

#include "model/Form.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileReplacement.h"
#include "platform/PathEntry.h"
#include "platform/ProgramPath.h"
#include "templates/Template.h"
#include "update/UpdateRun.h"

QString FileTarget::path(const FieldSource &fields, const QString &caption)
{
    return programRelativePath(mud3PathAsRunUsesIt(fields.fieldText(Field::txtMud3Path)) + caption);
}

void FileTarget::removeLeftovers(const FieldSource &fields)
{
    for (int target = FirstFileTarget; target < TargetCount; ++target)
        FileReplacement::removeLeftovers(path(fields, targetCaption(target)));
}

QByteArray FileTarget::content(int target, const FieldSource &fields)
{
    QByteArray bytes;
    for (const ServerLine &line : lineProducerOf(target)(fields)) {
        for (const LinePiece &piece : line) {
            if (piece.origin == LinePiece::Typed) {
                requireNoControlCharacter(piece.field, piece.text);
                bytes += CodePage::encode(piece.text);
            } else {
                bytes += CodePage::encodeServerText(piece.text);
            }
        }
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray FileTarget::check(int target, const QString &caption, const FieldSource &fields)
{
    requireNoControlCharacter(Field::txtMud3Path, fields.fieldText(Field::txtMud3Path));
    const QString file = path(fields, caption);
    FileReplacement::check(file, FileReplacement::IfMissing::Fail);
    // The backup reads the old file before it is replaced.
    if (PathEntry::at(file).kind == PathEntry::Kind::File)
        readRegularFile(file, MaxFileSize);
    return content(target, fields);
}
