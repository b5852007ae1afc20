#include "delayms.h"

#include "timefacility.h"

void delayMs(int ms)
{
    TimeFacility::instance().pause(ms);
}
