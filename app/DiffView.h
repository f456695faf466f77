#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// Lines of a preview as read-only monospaced text: file targets as unified diffs, database targets as their
// rows with each column old → new. Added and removed lines carry their "+" and "-" and are tinted besides.
class DiffView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit DiffView(QWidget *parent = nullptr);
    void setLines(const QStringList &lines);
};
