#pragma once

#include <QtGlobal>

#include <random>

// Seedable Gaussian noise of one simulated instrument. Each instrument owns its generator, so a
// test that seeds the module and the multimeter replays the same readings on every run.
// Not thread-safe: the owning instrument serialises its use.
class SimNoise
{
public:
    explicit SimNoise(quint32 seed = 1);

    void reseed(quint32 seed);
    // One sample of zero-mean noise with standard deviation sigma (0 for sigma <= 0).
    double gaussian(double sigma);

private:
    std::mt19937 engine;
    std::normal_distribution<double> normal;
};
