#pragma once

#include <QString>

class QWidget;

// The tool's message box: the application's title, the text, and below it the details, an OK button only.
// Paths and driver messages are shown as they are, never read as markup.
void showMessage(QWidget *parent, const QString &text, const QString &details);
