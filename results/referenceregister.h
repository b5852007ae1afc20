#pragma once

#include "benchports.h"
#include "runrecord.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>

// The register of the bench's reference instruments, a text file in the configuration folder
// (~/.config/Korvalis/voltaDesk/references.txt, or the file VOLTADESK_REFERENCES names). One
// instrument per line, fields separated by ";":
//
//     # USB serial number; model; certificate number; calibration due date
//     GEW123456;GW Instek GDM-8341;C-2026/0147;2027-03-31
//
// Blank lines and lines starting with "#" are skipped. An instrument is valid up to and
// including its due date.
class ReferenceRegister
{
public:
    struct Entry
    {
        QString model;
        QString certificate;
        QDate due;
    };

    static QString defaultPath();
    // An absent file is an empty register; lines that do not read are skipped.
    static ReferenceRegister load(const QString &path = defaultPath());
    static ReferenceRegister parse(const QString &text);
    // A register file was found: a station without one does not use the register, and its
    // runs are not questioned (their records still show the instruments as unregistered).
    bool present() const { return found; }

    // The instrument on port as the register sees it on day.
    ReferenceRecord check(const QString &role, const BenchPort &port, const QDate &day) const;

    // The instruments a run would use, from the port enumeration alone: nothing is opened.
    // The multimeter first, then the load where used.
    static QVector<BenchPort> expected(bool useLoad);

    // The operator's line for an instrument that is not valid; empty for a valid one.
    static QString warning(const ReferenceRecord &reference);

private:
    QHash<QString, Entry> entries; // by serial number
    bool found = false;
};
