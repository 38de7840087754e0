// The Scope's min/max reduction: nanoseconds per sample for the windows the Scope offers,
// reduced to a typical plot width, from a full recording ring (the kept samples straddle the
// end of its arrays, as they do after the first minute).
//   bench_scope_reduce [COLUMNS]

#include "telemetryring.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    const int columns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 900;
    constexpr int kCapacity = 65536;
    TelemetryRing ring(4, kCapacity);
    // 100 s at 1 kHz into a 65.5 s ring: it has wrapped.
    for (int i = 0; i < 100000; ++i) {
        const int32_t v[4] = {int32_t(4000 * std::sin(i * 0.003)), int32_t(i % 4096),
            int32_t(-(i % 977)), int32_t((i * 7919) % 8191 - 4096)};
        ring.append(i, v);
    }
    std::vector<MinMaxColumn> out(static_cast<size_t>(columns));
    long long sink = 0;
    std::printf(
        "min/max reduction into %d columns (4 channels, ring of %d samples)\n", columns, kCapacity);
    for (int windowMs : {1000, 5000, 10000, 30000, 60000}) {
        const double t1 = double(ring.lastTime()) + 1;
        const double t0 = t1 - windowMs;
        const int samples = ring.lowerBound(t1) - ring.lowerBound(t0);
        // Enough rounds for about 50 million samples.
        const int rounds = std::max(20, 50000000 / (4 * samples));
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < rounds; ++r) {
            for (int c = 0; c < 4; ++c) {
                ring.reduce(c, t0, t1, out.data(), columns);
                sink += out[size_t(r % columns)].max;
            }
        }
        const double ns
            = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
                  .count();
        const double perSample = ns / (double(rounds) * 4 * samples);
        std::printf("  %2d s window: %6d samples per channel, %.2f ns per sample, %.1f us per "
                    "frame of 4 traces\n",
            windowMs / 1000, samples, perSample, perSample * 4 * samples / 1000.0);
    }
    std::printf("(checksum %lld)\n", sink);
    return 0;
}
