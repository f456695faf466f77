#pragma once

#include <QStringList>

// The families of the window's font, the first that the system has being used.
QStringList controlFontFamilies();
