/* Waits until a block of the X screen stops being black and prints the
   CLOCK_MONOTONIC time it saw that, in seconds. Reads the block straight
   from the server every half millisecond; spawning a screenshot tool per
   poll costs tens of milliseconds and a core.

   frame_probe X Y WIDTH HEIGHT TIMEOUT_SECONDS
   Prints "ready" once connected, then the time, or "timeout". */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int painted(Display* display, Window root, int x, int y, int width, int height) {
  XImage* image = XGetImage(display, root, x, y, (unsigned)width, (unsigned)height, AllPlanes, ZPixmap);
  if (!image) return 0;
  int found = 0;
  for (int row = 0; row < height && !found; ++row)
    for (int column = 0; column < width && !found; ++column)
      found = (XGetPixel(image, column, row) & 0xFFFFFFu) != 0;
  XDestroyImage(image);
  return found;
}

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: frame_probe X Y WIDTH HEIGHT TIMEOUT_SECONDS\n");
    return 2;
  }
  const int x = atoi(argv[1]), y = atoi(argv[2]), width = atoi(argv[3]), height = atoi(argv[4]);
  const double timeout = atof(argv[5]);
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "frame_probe: cannot open the display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  printf("ready\n");
  fflush(stdout);
  const double end = now() + timeout;
  while (now() < end) {
    if (painted(display, root, x, y, width, height)) {
      printf("%.6f\n", now());
      XCloseDisplay(display);
      return 0;
    }
    usleep(500);
  }
  printf("timeout\n");
  XCloseDisplay(display);
  return 1;
}
