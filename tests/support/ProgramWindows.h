#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace garrison::test {

// For tests of the whole program: its windows as the user finds them on screen.

// The visible top-level window of that object name, or nullptr.
inline QWidget* visibleWindow(const char* objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(objectName) && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}

// Fills the visible login window for a direct session with the server on 127.0.0.1 and presses
// Connect.
inline void connectDirectly(const QString& port, const QString& password)
{
    QWidget* form = visibleWindow("Form4");
    QVERIFY(form);
    form->findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("127.0.0.1"));
    form->findChild<QLineEdit*>(QStringLiteral("Text5"))->setText(port);
    form->findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(password);
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
}

} // namespace garrison::test
