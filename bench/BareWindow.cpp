// The yardstick for the tool's start-up: a plain Qt window holding as many widgets of the same kinds.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("BareWindow"));
    window.setFixedSize(666, 498);
    for (int i = 0; i < 15; ++i)
        (new QCheckBox(QStringLiteral("Target %1").arg(i), &window))->setGeometry(16, 16 + 32 * i, 289, 25);
    for (int i = 0; i < 11; ++i) {
        (new QLabel(QStringLiteral("Label %1").arg(i), &window))->setGeometry(360, 8 + 32 * i, 137, 25);
        (new QLineEdit(QStringLiteral("Field %1").arg(i), &window))->setGeometry(504, 8 + 32 * i, 153, 27);
    }
    new QLabel(QStringLiteral("Label 11"), &window);
    for (int i = 0; i < 3; ++i)
        (new QPushButton(QStringLiteral("Button %1").arg(i), &window))->setGeometry(376, 336 + 32 * i, 281, 25);
    window.show();
    return application.exec();
}
