#pragma once

#include "mathlibrarychecksum.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class QWidget;

// The boxes of the module information: the table with its way to the metrology check, and the
// outcome of that check of the math library file.
class ModuleInformationDialog
{
    Q_DECLARE_TR_FUNCTIONS(ModuleInformationDialog)

public:
    // Each box is the parent's child, shown without waiting for it; its answer comes back only
    // while the parent is there.
    // Shows the information table (rich text) with OK and "Метрология"; chosen(true) when the
    // operator chose "Метрология". Closing the box counts as OK.
    static void askForMetrology(QWidget *parent, const QString &information,
                                std::function<void(bool metrology)> chosen);
    // Shows the outcome of the math library file's check, then closed(); an unreadable file
    // shows nothing and is closed at once.
    static void showChecksum(QWidget *parent, const MathLibraryChecksum::Result &result,
                             std::function<void()> closed);
};
