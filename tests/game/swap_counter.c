/* Frame-rate probe for racer_gl benchmarks (not part of any program):
 * preloaded with LD_PRELOAD, it wraps SDL_GL_SwapBuffers, counts the frames
 * shown and prints "swap_counter: N.N frames per second" to stderr once a
 * second. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

void SDL_GL_SwapBuffers(void)
{
    static void (*real)(void);
    static double start;
    static int frames;
    if (!real) {
        real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
        start = now();
    }
    if (real)
        real();
    ++frames;
    double t = now();
    if (t - start >= 1.0) {
        fprintf(stderr, "swap_counter: %.1f frames per second\n", frames / (t - start));
        start = t;
        frames = 0;
    }
}
