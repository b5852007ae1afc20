#pragma once

#include "rvka5630device.h"

#include <QByteArray>

#include <mutex>

// For benchmarks only: a simulated RVKA5630 module that also answers "BENCH:BLOCK? <bytes>"
// with a definite-length block of that many bytes (1 byte to 16 MiB, no line feed after it),
// so that bulk reads of any size can be timed. The block of the last size asked for is kept,
// so the module's own cost per read stays that of handing out one buffer. Any other message,
// or a size out of range, goes to the module as usual (which queues an error for it).
// Modules of the tests and the demo never answer it: SimBench serves it only when told to.
class BenchRvka5630Device : public Rvka5630Device
{
public:
    static constexpr int maxBlockBytes = 16 << 20;

    DeviceResponse execute(const QByteArray &message) override;

private:
    std::mutex lock;
    QByteArray block;
    int blockBytes = 0;
};
