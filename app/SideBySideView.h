#pragma once

#include <QStringList>
#include <QTreeView>

class FileDiffModel;

namespace Preview {
struct FileDiff;
}

// A file's text as it is and as it would be, side by side in one view that scrolls both together, the
// changes marked and the first of them in sight. Alt+Down and Alt+Up go to the next and the previous change.
class SideBySideView : public QTreeView {
    Q_OBJECT

public:
    explicit SideBySideView(QWidget *parent = nullptr);

    // headers: how the two sides are named. diff must outlive the view, or the next diff it is given, or clear().
    void setDiff(const Preview::FileDiff &diff, const QStringList &headers);
    // Shows nothing, and lets go of the diff.
    void clear();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showChange(int row);

    FileDiffModel *m_model = nullptr;
};
