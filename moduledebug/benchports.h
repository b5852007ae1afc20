#pragma once

#include <QString>
#include <QVector>

// A serial port as the bench sees it: where it is and the USB descriptor strings it reports.
struct BenchPort
{
    QString location; // the device path, e.g. /dev/ttyACM0
    QString manufacturer;
    QString description;
    QString serialNumber; // the USB serial number, empty where the port reports none
};

enum class BenchInstrument
{
    Multimeter,
    Load,
};

// The serial ports of the bench and the rules that recognise the auxiliary instruments on them
// by their USB strings (case-sensitive substrings of the manufacturer and the description).
//
// Ports come from the system's serial port enumeration, followed by the ports described in the
// environment variable VOLTADESK_SERIAL_PORTS, in their order. Pseudo-terminals and other
// ports that the enumeration cannot see are described there as entries separated by ";", each
// "path|manufacturer|description" or "path|manufacturer|description|serial number", for example
//     /dev/pts/4|GWinstek|GDM8341|GEW123456;/dev/pts/5|EA Elektro-Automatik GmbH & Co. KG|EL 9000 B
// A missing field reads as empty; an entry without a path is skipped. The serial number lets
// a pseudo-terminal instrument stand for a registered reference instrument. A bench of real USB
// instruments needs no such variable.
class BenchPorts
{
public:
    static QVector<BenchPort> available();
    static QVector<BenchPort> described(const QString &entries);
    static bool recognises(BenchInstrument instrument, const BenchPort &port);

    // Names the port of an instrument outright, whatever its USB strings: that port alone is
    // the instrument's, and it is searched even where the enumeration does not list it. An
    // empty location restores the search by the rules.
    static void pin(BenchInstrument instrument, const QString &location);
};
