#include "simserialload.h"

SimSerialLoad::SimSerialLoad(Rvka5630Model *module)
    : SimSerialInstrument(QLatin1String(defaultManufacturer), QLatin1String(defaultDescription)),
      electronicLoad(module)
{
}

SimSerialLoad::~SimSerialLoad()
{
    stop();
    electronicLoad.setModule(nullptr);
}
