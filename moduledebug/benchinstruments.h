#pragma once

#include "benchports.h"
#include "serialline.h"

#include <QSerialPort>

// The auxiliary instruments of one scenario: the multimeter and, where the scenario uses it,
// the electronic load, found on the bench's serial ports and held under remote control until
// release(). Nothing is remembered between scenarios: every search enumerates the ports again.
//
// The search looks at every port. Each instrument is opened on the first port that its rule
// recognises; further ports of the same instrument are passed over, so a bench with a spare
// meter plugged in still works.
class BenchInstruments
{
public:
    enum class Outcome
    {
        Ready,
        MultimeterCannotOpen,
        MultimeterLinkBroken,
        LoadCannotOpen,
        LoadLinkBroken,
        Missing, // no multimeter, or no load where it is used
    };

    struct Availability
    {
        bool multimeter = false;
        bool load = false;
    };

    BenchInstruments() = default;
    // Releases whatever is still held.
    ~BenchInstruments();
    BenchInstruments(const BenchInstruments &) = delete;
    BenchInstruments &operator=(const BenchInstruments &) = delete;

    // Finds and opens the multimeter with configuration and, if useLoad, the load. Stops at the
    // first instrument that cannot be opened or whose link breaks.
    Outcome search(const MultimeterConfiguration &configuration, bool useLoad);
    // Multimeter first, then load; safe to call more than once.
    void release();

    QSerialPort &multimeter() { return multimeterPort; }
    QSerialPort &load() { return loadPort; }
    // The ports the last search opened, as the enumeration described them; empty when none.
    const BenchPort &multimeterFound() const { return multimeterInfo; }
    const BenchPort &loadFound() const { return loadInfo; }

    // Which instruments are present and can be opened now. Every recognised port is opened and
    // closed again at once; nothing is written to it.
    static Availability availability();

private:
    QSerialPort multimeterPort;
    QSerialPort loadPort;
    BenchPort multimeterInfo;
    BenchPort loadInfo;
};
