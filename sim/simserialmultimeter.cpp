#include "simserialmultimeter.h"

SimSerialMultimeter::SimSerialMultimeter(Rvka5630Model *module)
    : SimSerialInstrument(QLatin1String(defaultManufacturer), QLatin1String(defaultDescription)),
      meter(module)
{
}

SimSerialMultimeter::~SimSerialMultimeter()
{
    // The thread must not reach the model while it is being destroyed.
    stop();
}
