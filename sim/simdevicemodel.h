#pragma once

#include <QByteArray>

// The instrument behind a simulated VXI-11 device: it turns each complete program message
// into a response. The transport (links, output queue, faults, transcript) is SimModule's.
struct DeviceResponse
{
    QByteArray data; // the whole response message; empty when the message asks for none
    int delayMs = 0; // program-time ms until the response can be read (a long self-test)
};

class SimDeviceModel
{
public:
    virtual ~SimDeviceModel() = default;
    virtual DeviceResponse execute(const QByteArray &message) = 0;
    virtual void deviceClear() {}
    // > 0 once after a message that makes the instrument restart: how long it stays away.
    virtual int takeRestartMs() { return 0; }
};
