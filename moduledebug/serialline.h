#pragma once

#include <QByteArray>
#include <QByteArrayList>

class QSerialPort;

// The text exchange with the bench's auxiliary instruments (the multimeter and the electronic
// load) on their serial lines: plain ASCII lines ended by "\n", 115200 baud 8N1 without flow
// control. Every wait here runs on the GUI thread, bounded by its time-out, and processes
// events while it waits, so the window stays alive through a silent meter's 10 s.

// Outcome of writing one line.
enum class SerialWrite
{
    Written,
    LinkBroken, // the line was not written within 1000 ms
};

// Outcome of a query. Only Value carries a reading: a reply that is missing, not a number or
// cut off is not a broken link, and the scenario goes on without that reading.
struct SerialReading
{
    enum class Outcome
    {
        Value,
        NoReply,    // nothing arrived within 10000 ms
        Garbled,    // the reply is not a number ("OVLD", an empty line, text cut by a NUL)
        Unfinished, // the line had not gone quiet 5000 ms after the reply began
        LinkBroken, // the query itself could not be written
    };

    Outcome outcome = Outcome::NoReply;
    double value = 0.0; // 0 unless Value
};

// Outcome of bringing an instrument under remote control.
enum class InstrumentOpen
{
    Ready,
    CannotOpen, // the port did not open (absent, or held by another program)
    LinkBroken, // a line of the opening sequence was not written within 1000 ms
};

// How a procedure sets the multimeter up: the configuration lines sent after "SYST:REM\n" and
// the query that primes it, which is also the query the procedure measures with.
struct MultimeterConfiguration
{
    QByteArrayList commands;
    QByteArray query;

    static MultimeterConfiguration dcVoltage(); // calibration and direct-voltage procedures
    static MultimeterConfiguration acVoltage(); // voltage ripple
    static MultimeterConfiguration dcCurrent(); // direct-current procedures
    static MultimeterConfiguration acCurrent(); // current ripple
};

// Sets the line settings shared by both instruments and opens the port read-write.
bool openSerialLine(QSerialPort &port);

// The port as the system names it ("/dev/pts/0" where Qt's port name is "pts/0"); the I/O
// record names the instrument so.
QString portLocation(const QSerialPort &port);

// Writes text and waits up to 1000 ms until it has left.
SerialWrite serialCommand(QSerialPort &port, const QByteArray &text);
// serialCommand, then collects the reply: up to 10000 ms for the first data, then more for as
// long as each further wait of 1000 ms brings some, but never longer than 5000 ms after the
// first data. The reply ends at its first NUL byte and is read as a number, white space around
// it ignored.
SerialReading serialQuery(QSerialPort &port, const QByteArray &text);

// Opens the multimeter's port and puts it in remote state: "SYST:REM\n", the configuration
// lines, the priming query (its value is discarded) and a settling pause of 1000 ms.
InstrumentOpen openMultimeter(QSerialPort &port, const MultimeterConfiguration &configuration);
// Opens the load's port, locks it under remote control and switches its input off at 0 V,
// each line followed by a 500 ms pause. The load is never read.
InstrumentOpen openLoad(QSerialPort &port);
// What the exchanges take on a working bench beyond the pauses a procedure asks for, for its
// time-left estimate: a reply is complete only once its line has stayed quiet for a second,
// so every reading costs that second; opening the multimeter costs its priming reading and
// the settling pause, opening the load its three pauses.
int serialReadingMs();
int multimeterOpeningMs();
int loadOpeningMs();

// Return the instruments to local control and close their ports; failures are ignored.
void releaseMultimeter(QSerialPort &port);
void releaseLoad(QSerialPort &port);

// A load command with its number in place of "%1", written with at most six significant
// digits and no trailing zeros: ("RES %1\n", 2) gives "RES 2\n", ("CURR %1\n", 12.2)
// "CURR 12.2\n".
QByteArray loadCommand(const char *format, double value);
