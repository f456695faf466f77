#pragma once

#include "preview/Preview.h"

#include <QDialog>

// Shows what a run would do, target by target, as read-only monospaced text: file targets as unified
// diffs, database targets as their rows with each column old → new. Added and removed lines carry their
// "+" and "-" and are tinted besides. Resizable; Escape or Close ends it.
class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreviewDialog(const Preview::RunPreview &preview, QWidget *parent = nullptr);
};
