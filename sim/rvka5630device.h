#pragma once

#include "rvka5630model.h"
#include "simdevicemodel.h"

// A simulated RVKA5630 module as its VXI-11 server serves it.
class Rvka5630Device : public SimDeviceModel
{
public:
    Rvka5630Device() = default;

    DeviceResponse execute(const QByteArray &message) override
    {
        const ModelReply reply = module.execute(message);
        return {reply.data, reply.delayMs};
    }
    void deviceClear() override { module.deviceClear(); }
    int takeRestartMs() override { return module.takeRestartMs(); }

    Rvka5630Model &model() { return module; }

private:
    Rvka5630Model module;
};
