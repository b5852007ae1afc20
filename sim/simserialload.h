#pragma once

#include "simloadmodel.h"
#include "simserialinstrument.h"

class Rvka5630Model;

// The bench electronic load on its serial line, loading a module's output; its USB strings
// are those of an EA Elektro-Automatik EL 9000 load.
class SimSerialLoad : public SimSerialInstrument
{
public:
    static constexpr const char *defaultManufacturer = "EA Elektro-Automatik GmbH & Co. KG";
    static constexpr const char *defaultDescription = "EL 9000 B";

    explicit SimSerialLoad(Rvka5630Model *module);
    // Takes the load off the module.
    ~SimSerialLoad() override;

    SimLoadModel &model() { return electronicLoad; }

protected:
    QByteArray execute(const QByteArray &line) override { return electronicLoad.execute(line); }

private:
    SimLoadModel electronicLoad;
};
