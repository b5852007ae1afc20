#pragma once

#include "mathlibrarychecksum.h"

#include <QCoreApplication>
#include <QString>

class QWidget;

// The boxes of the module information: the table with its way to the metrology check, and the
// outcome of that check of the math library file.
class ModuleInformationDialog
{
    Q_DECLARE_TR_FUNCTIONS(ModuleInformationDialog)

public:
    // Shows the information table (rich text) with OK and "Метрология"; true when the operator
    // chose "Метрология". Closing the box counts as OK.
    static bool askForMetrology(QWidget *parent, const QString &information);
    // Shows the outcome of the math library file's check; an unreadable file shows nothing.
    static void showChecksum(QWidget *parent, const MathLibraryChecksum::Result &result);
};
