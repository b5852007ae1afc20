#include "simnoise.h"

SimNoise::SimNoise(quint32 seed) : engine(seed), normal(0.0, 1.0) {}

void SimNoise::reseed(quint32 seed)
{
    engine.seed(seed);
    normal.reset();
}

double SimNoise::gaussian(double sigma)
{
    if (sigma <= 0.0)
        return 0.0;
    return sigma * normal(engine);
}
