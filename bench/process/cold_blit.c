/* What one full-screen repaint costs at the least on this machine: copying
 * a screen's worth of pixels (32 bits each) out of a 3840x2160 picture, the
 * way a repaint copies the part of the picture in view. Each copy follows
 * 400 ms of idling, as a tick does, so caches and clocks are as cold as the
 * saver finds them. Prints the median time of one copy in ms, then the
 * median of copies made back to back.
 * Usage: cold_blit WIDTH HEIGHT */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kRuns = 15, kPictureW = 3840, kPictureH = 2160 };

static double ms_now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static int by_value(const void* a, const void* b) {
    const double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

static double copy_once(unsigned char* screen, const unsigned char* picture, int w, int h, int shift) {
    const double start = ms_now();
    for (int y = 0; y < h; ++y) {
        memcpy(screen + (size_t)y * (size_t)w * 4, picture + ((size_t)y * kPictureW + (size_t)shift) * 4, (size_t)w * 4);
    }
    return ms_now() - start;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: cold_blit WIDTH HEIGHT\n");
        return 2;
    }
    int w = atoi(argv[1]), h = atoi(argv[2]);
    if (w <= 0 || h <= 0) return 2;
    if (w > kPictureW - 64) w = kPictureW - 64;
    if (h > kPictureH) h = kPictureH;
    unsigned char* picture = malloc((size_t)kPictureW * kPictureH * 4);
    unsigned char* screen = malloc((size_t)w * (size_t)h * 4);
    if (picture == NULL || screen == NULL) return 1;
    memset(picture, 0x5A, (size_t)kPictureW * kPictureH * 4);
    memset(screen, 0, (size_t)w * (size_t)h * 4);
    double cold[kRuns], warm[kRuns];
    const struct timespec idle = {0, 400000000};
    for (int i = 0; i < kRuns; ++i) {
        nanosleep(&idle, NULL);
        cold[i] = copy_once(screen, picture, w, h, (i * 16) % 64);
    }
    for (int i = 0; i < kRuns; ++i) warm[i] = copy_once(screen, picture, w, h, (i * 16) % 64);
    qsort(cold, kRuns, sizeof cold[0], by_value);
    qsort(warm, kRuns, sizeof warm[0], by_value);
    printf("%.2f %.2f\n", cold[kRuns / 2], warm[kRuns / 2]);
    const int kept = screen[(size_t)w * (size_t)h * 2] == 1;  /* keeps the copies from being optimised away */
    free(picture);
    free(screen);
    return kept;
}
