#include "app/Fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <initializer_list>

namespace {

// The font itself where the system draws it in the face it names (and of fixed pitch, when that is asked
// for); else, at its size, the first of the families that the system has.
QFont drawable(QFont font, bool fixedPitch, std::initializer_list<const char *> families)
{
    for (const char *family : families) {
        const QFontInfo drawn(font);
        if (drawn.family() == font.family() && (drawn.fixedPitch() || !fixedPitch))
            break;
        if (QFontDatabase::hasFamily(QString::fromLatin1(family)))
            font.setFamily(QString::fromLatin1(family));
    }
    return font;
}

} // namespace

QFont Fonts::dialog()
{
    // Windows' own UI faces, then those of Linux desktops.
    return drawable(QGuiApplication::font(), false, {"Segoe UI", "Tahoma", "Microsoft YaHei", "DejaVu Sans", "Liberation Sans", "Noto Sans"});
}

QFont Fonts::fixedPitch()
{
    // Wine names Courier New as the fixed-pitch font without having it.
    QFont font = drawable(QFontDatabase::systemFont(QFontDatabase::FixedFont), true,
                          {"Consolas", "Courier New", "Liberation Mono", "DejaVu Sans Mono", "Noto Sans Mono"});
    font.setPointSizeF(Fonts::dialog().pointSizeF());
    return font;
}
