#pragma once

#include "simmultimetermodel.h"
#include "simserialinstrument.h"

class Rvka5630Model;

// The bench multimeter on its serial line, measuring a module's output; its USB strings are
// those of a GW Instek GDM meter.
class SimSerialMultimeter : public SimSerialInstrument
{
public:
    static constexpr const char *defaultManufacturer = "GWinstek";
    static constexpr const char *defaultDescription = "GDM8341";

    explicit SimSerialMultimeter(Rvka5630Model *module);
    ~SimSerialMultimeter() override;

    SimMultimeterModel &model() { return meter; }

protected:
    QByteArray execute(const QByteArray &line) override { return meter.execute(line); }

private:
    SimMultimeterModel meter;
};
