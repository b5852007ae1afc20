#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QVector>

// One program message unit of a program message, with its header resolved against the
// header path of the units before it.
struct ScpiCommand
{
    enum class Fault
    {
        None,
        Syntax, // the header is not a valid SCPI header
        Block,  // a block parameter announces a byte count that does not match what follows
    };

    QByteArray header;   // the header as sent, e.g. "PWMI" or ":VOLT:PROT?"
    QByteArrayList path; // resolved nodes in upper case, e.g. {"CODE", "PWMI"}; {"*IDN"}
    bool query = false;  // the header ended with "?"
    bool common = false; // an IEEE 488.2 common command ("*RST", "*IDN?")
    QByteArray argument; // everything after the header's white space, block bytes untouched
    Fault fault = Fault::None;

    // The argument split at the commas outside strings and blocks, each trimmed.
    QByteArrayList parameters() const;
};

// Splits a program message into its units with the usual SCPI rules: ";" separates units, a
// unit without a leading ":" continues the header path of the unit before it ("CONF:PLACEID?;
// ADDRID?" asks for CONF:ADDRID?), common commands leave that path alone, a line feed ends the
// message and resets the path, and the data of a definite-length block is never split, whatever
// bytes it holds.
class ScpiParser
{
public:
    static QVector<ScpiCommand> parse(const QByteArray &message);

    // Parameter helpers: true on success.
    static bool toNumber(const QByteArray &text, double *value);
    static bool toInteger(const QByteArray &text, qint64 *value); // decimal, 0x.. or #H.. hex
    static bool toBoolean(const QByteArray &text, bool *value);   // 0/1/ON/OFF
};
