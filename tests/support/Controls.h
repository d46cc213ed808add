#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QListWidget>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTest>

#include <type_traits>

/// A control of a screen found by its objectName. A missing control fails the running test with its
/// name and hands back a detached stand-in of the same kind, so the steps after it touch nothing and
/// the other tests still run.
template <typename T>
T* Control(const QObject* screen, const QString& name, const char* file = __builtin_FILE(),
           int line = __builtin_LINE())
{
    if (T* found = screen ? screen->findChild<T*>(name) : nullptr)
        return found;
    QTest::qFail(qPrintable(QStringLiteral("no control %1 of the kind asked for on %2")
                                .arg(name, screen ? screen->objectName() : QStringLiteral("(no screen)"))),
                 file, line);
    // Never shown and never deleted: it lives as long as the test program.
    if constexpr (std::is_default_constructible_v<T>) {
        return new T();
    } else if constexpr (std::is_base_of_v<T, QPushButton>) {
        return new QPushButton();
    } else {
        qFatal("no control %s", qPrintable(name));
    }
}

/// Clicks the button of a screen found by its objectName (the test fails when there is none). A check
/// box or radio button is clicked on its indicator: it takes no clicks across the rest of its width.
inline void ClickControl(const QObject* screen, const QString& name, const char* file = __builtin_FILE(),
                         int line = __builtin_LINE())
{
    QAbstractButton* button = Control<QAbstractButton>(screen, name, file, line);
    const bool indicator = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, indicator ? QPoint(6, button->height() / 2) : QPoint());
}

/// Double-clicks an item of a list as a user does: a double click counts on the item pressed first.
inline void DoubleClickItem(QListWidget* list, QListWidgetItem* item)
{
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}
