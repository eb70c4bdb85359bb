#include "support/ranmar.h"

void SeedRanmar(Ranmar& state, uint32_t ij, uint32_t kl)
{
    if (ij > 31328) ij = 31328;
    if (kl > 30081) kl = 30081;

    uint32_t i = (ij / 177) % 177 + 2;
    uint32_t j = (ij % 177) + 2;
    uint32_t k = (kl / 169) % 178 + 1;
    uint32_t l = kl % 169;

    for (float& entry : state.u) {
        float s = 0.0f;
        float t = 0.5f;
        for (int bit = 0; bit < 24; ++bit) {
            uint32_t m = (((i * j) % 179) * k) % 179;
            i = j;
            j = k;
            k = m;
            l = (53 * l + 1) % 169;
            if ((l * m) % 64 >= 32) s += t;
            t *= 0.5f;
        }
        entry = s;
    }

    state.c = 362436.0f / 16777216.0f;
    state.cd = 7654321.0f / 16777216.0f;
    state.cm = 16777213.0f / 16777216.0f;
}

float NextUniform(Ranmar& state)
{
    float uni = state.u[state.i97 - 1] - state.u[state.j97 - 1];
    if (uni < 0.0f) uni += 1.0f;
    state.u[state.i97 - 1] = uni;

    if (--state.i97 == 0) state.i97 = 97;
    if (--state.j97 == 0) state.j97 = 97;

    state.c -= state.cd;
    if (state.c < 0.0f) state.c += state.cm;

    uni -= state.c;
    if (uni < 0.0f) uni += 1.0f;
    return uni;
}
