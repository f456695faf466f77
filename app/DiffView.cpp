#include "app/DiffView.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

namespace {

// The system's fixed-pitch font; where that resolves to a proportional face (Wine names Courier New without
// having it), the first of the usual fixed-pitch families that the system has, so that the columns of a
// diff line up.
QFont diffFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const char *family : {"Consolas", "Courier New", "Liberation Mono", "DejaVu Sans Mono"}) {
        if (QFontInfo(font).fixedPitch())
            break;
        font.setFamily(QString::fromLatin1(family));
    }
    return font;
}

struct LineFormat {
    QTextBlockFormat block;
    QTextCharFormat text;
};

// Each line is formatted by its marker, as a diff viewer does: "+" added and "-" removed, tinted across
// the whole width; "@@" a hunk; a line flush left (a target's heading, or the connection's failure) in
// bold; the rest as it is.
LineFormat formatOf(const QString &line)
{
    LineFormat format;
    if (line.isEmpty())
        return format;
    const bool fileHeader = line.startsWith(QLatin1String("+++ ")) || line.startsWith(QLatin1String("--- "));
    if (fileHeader) {
        format.text.setFontWeight(QFont::DemiBold);
    } else if (line.startsWith(QLatin1Char('+'))) {
        format.text.setForeground(QColor(0x00, 0x55, 0x00));
        format.block.setBackground(QColor(0xdd, 0xf4, 0xdd));
    } else if (line.startsWith(QLatin1Char('-'))) {
        format.text.setForeground(QColor(0x88, 0x00, 0x00));
        format.block.setBackground(QColor(0xfb, 0xe0, 0xe0));
    } else if (line.startsWith(QLatin1String("@@"))) {
        format.text.setForeground(QColor(0x00, 0x44, 0x88));
    } else if (!line.startsWith(QLatin1Char(' ')) && !line.startsWith(QLatin1Char('\\'))) {
        format.text.setFontWeight(QFont::Bold);
    }
    return format;
}

} // namespace

DiffView::DiffView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(diffFont());
}

void DiffView::setLines(const QStringList &lines)
{
    clear();
    QTextCursor cursor(document());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineFormat format = formatOf(lines.at(i));
        if (i > 0)
            cursor.insertBlock(format.block, format.text);
        else
            cursor.setBlockFormat(format.block);
        cursor.insertText(lines.at(i), format.text);
    }
    moveCursor(QTextCursor::Start);
}
