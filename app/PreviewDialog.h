#pragma once

#include "preview/Preview.h"

#include <QDialog>

// What a run would do, as a review: how many files and tables would change, stay as they are and fail, then
// every ticked target with its state and, for the chosen one, its file side by side as it is and as the run
// would write it, or its rows as a grid. Resizable; Escape or Close ends it.
class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreviewDialog(const Preview::RunPreview &preview, QWidget *parent = nullptr);

private:
    const Preview::RunPreview m_preview; // what the review shows
};
