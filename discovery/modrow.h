#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

// One row of the instrument table: what discovery learnt about one RVKA5630 module.
struct modRow
{
    QString address; // VISA resource string as the resource search returned it
    QString idn;     // "*IDN?" reply, first token
    QString info;    // placement text built from the placement reply
};

Q_DECLARE_METATYPE(modRow)
