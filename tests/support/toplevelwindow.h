#pragma once

#include <QApplication>
#include <QWidget>

// The top-level window of class T, or null: a test that opens one expects it to be the only one.
template <class T> T *topLevelWindow()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<T *>(window))
            return found;
    return nullptr;
}
