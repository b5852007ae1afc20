#pragma once

#include <visa.h>

#include <QByteArray>

// The module's stored self-test results, "MEAS:SELFTEST?": a definite-length block ("#", one
// digit n, n digits giving the byte count N, then N bytes of text) read in three steps. The
// module completes the reads of a block with warnings (count reached before the message
// end), so only negative statuses and short reads fail here.
class ModuleSession;

class StoredResultBlock
{
public:
    // The most text the block may carry; a longer block is refused, not truncated.
    static const int capacity = 2047;

    // Clears the device, asks for the block and reads it. The text ends at its first NUL
    // byte, if any. False on any failure, with text untouched.
    static bool read(ModuleSession &session, QByteArray &text);

private:
    // The three reads; headerRead receives "#", n and the n digits as they came.
    static bool readBlock(ViSession session, QByteArray &text, QByteArray &headerRead);
};
