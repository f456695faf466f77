#include "app/MessageBox.h"

#include "preview/VisibleText.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>

void showMessage(QWidget *parent, const QString &text, const QString &details)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok, parent);
    // Qt leaves the informative text to guess its format, so its label is set apart.
    box.setTextFormat(Qt::PlainText);
    // A cause may hold text from the database, a record or a file, shown as the command line shows it.
    box.setInformativeText(visibleLines(details));
    if (auto *detailsLabel = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        detailsLabel->setTextFormat(Qt::PlainText);
    box.exec();
}
