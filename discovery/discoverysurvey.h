#pragma once

#include "modrow.h"

#include <QMetaType>
#include <QString>
#include <QVector>

// A found resource that the instrument table does not list, and why: the operator is told how
// many were left out and which, so that a wrong address or a module of another model is not
// mistaken for an empty LAN.
struct LeftOutResource
{
    enum Reason
    {
        NoAnswer,   // no link within the open time-out, or no reply to a query
        OtherModel, // its identification does not name the model
    };
    QString address;
    Reason reason = NoAnswer;
    QString idn; // the identification of another model; empty without an answer
};

// Everything one discovery learnt: the modules in discovery order and the resources it left
// out, also in discovery order.
struct DiscoverySurvey
{
    QVector<modRow> rows;
    QVector<LeftOutResource> leftOut;
};

Q_DECLARE_METATYPE(DiscoverySurvey)
