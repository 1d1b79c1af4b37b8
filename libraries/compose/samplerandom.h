#ifndef COMPOSE_SAMPLERANDOM_H
#define COMPOSE_SAMPLERANDOM_H

#include <QtGlobal>

#include <random>

namespace Compose {

/** SplitMix64's finaliser: spreads every bit of x over the result. */
inline quint64 mix64(quint64 x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

/** Sample index's seed in a run seeded with seed: the same on every machine, whatever thread makes it. */
inline quint64 sampleSeed(quint64 seed, quint64 index)
{
    return mix64(seed ^ mix64(index));
}

/*
 * The generator of one sample. Draws are made here rather than through the standard distributions,
 * whose results differ between standard libraries.
 */
class SampleRandom
{
public:
    explicit SampleRandom(quint64 seed)
        : m_engine(seed)
    {
    }

    /** A whole number from 0 to bound - 1 (0 when bound is 0). */
    quint64 below(quint64 bound)
    {
        return bound ? quint64((unsigned __int128)m_engine() * bound >> 64) : 0;
    }

    /** A real number from -range to range. */
    double within(double range)
    {
        const double unit = double(m_engine() >> 11) * (1.0 / 9007199254740992.0);
        return range * (2 * unit - 1);
    }

private:
    std::mt19937_64 m_engine;
};

} // namespace Compose

#endif // COMPOSE_SAMPLERANDOM_H
