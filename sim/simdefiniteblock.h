#pragma once

#include <QByteArray>

// IEEE 488.2 definite-length arbitrary blocks: "#", one digit d, d decimal digits giving the
// byte count N, then exactly N bytes.
class SimDefiniteBlock
{
public:
    enum class Scan
    {
        Ok,         // a complete block; dataStart and dataLength are set
        NotABlock,  // no "#" and non-zero digit at the position
        Indefinite, // "#0": data runs to the end of the message (never accepted by this bench)
        Malformed,  // the length digits are missing or not digits
        Truncated,  // fewer bytes follow than the block announces
    };

    static QByteArray encode(const QByteArray &data);
    // Examines the block that starts at bytes[from]. On Ok, dataStart is the index of the first
    // data byte and dataLength the announced (and present) byte count.
    static Scan scan(const QByteArray &bytes, int from, int *dataStart = nullptr,
                     int *dataLength = nullptr);
};
