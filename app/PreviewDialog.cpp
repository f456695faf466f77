#include "app/PreviewDialog.h"

#include "app/DiffView.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

PreviewDialog::PreviewDialog(const Preview::RunPreview &preview, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(QStringLiteral("Preview Changes"));
    setSizeGripEnabled(true);

    auto *text = new DiffView(this);
    text->setObjectName(QStringLiteral("previewText"));
    text->setLines(preview.lines());

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(buttons);

    // Wide enough for the longest template line beside its marker, tall enough for a screenful of diff.
    const QFontMetrics metrics(text->font());
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 120, metrics.lineSpacing() * 40);
}
