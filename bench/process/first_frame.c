/* Waits for the saver's first full-screen frame on an X display: the
 * corner pixel shows the background colour and the centre pixel shows
 * something else (the picture). Polls two 1x1 XGetImage reads every 2 ms and
 * prints the wall-clock time (ns since the epoch) at which both held, or
 * "timeout". Usage: first_frame RRGGBB X1 Y1 X2 Y2 SECONDS */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static unsigned long rgb_at(Display* d, Window root, int x, int y) {
    XImage* img = XGetImage(d, root, x, y, 1, 1, AllPlanes, ZPixmap);
    if (img == NULL) return 0xFFFFFFFFUL;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFFUL;
    XDestroyImage(img);
    return p;
}

int main(int argc, char** argv) {
    if (argc != 7) {
        fprintf(stderr, "usage: first_frame RRGGBB X1 Y1 X2 Y2 SECONDS\n");
        return 2;
    }
    const unsigned long hue = strtoul(argv[1], NULL, 16);
    const int x1 = atoi(argv[2]), y1 = atoi(argv[3]), x2 = atoi(argv[4]), y2 = atoi(argv[5]);
    const double limit = atof(argv[6]);
    Display* d = XOpenDisplay(NULL);
    if (d == NULL) {
        fprintf(stderr, "first_frame: no display\n");
        return 2;
    }
    const Window root = DefaultRootWindow(d);
    struct timespec start, now;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const struct timespec pause = {0, 2000000};
    for (;;) {
        const unsigned long corner = rgb_at(d, root, x1, y1);
        const unsigned long centre = rgb_at(d, root, x2, y2);
        if (corner == hue && centre != hue && centre != 0) {
            struct timespec wall;
            clock_gettime(CLOCK_REALTIME, &wall);
            printf("%lld\n", (long long)wall.tv_sec * 1000000000LL + wall.tv_nsec);
            return 0;
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        if ((double)(now.tv_sec - start.tv_sec) + (double)(now.tv_nsec - start.tv_nsec) / 1e9 > limit) {
            printf("timeout\n");
            return 1;
        }
        nanosleep(&pause, NULL);
    }
}
