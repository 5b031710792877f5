/* Start-up timing on an X display, the same for every program measured: starts a
 * command and watches the screen itself until a window is mapped and, with --colour,
 * until at least MIN pixels of that colour (within 12 of each channel) are on screen.
 * Prints "launch=MONOTONIC_MS window=MS picture=MS" (times since the launch; -1 when it
 * did not happen before the time-out), then ends the command's process group. Windows
 * left on the display before the launch are ended first: the screen starts bare.
 *
 * With --linger, the command keeps running that long after the last event (so that it
 * can finish logging).
 * Usage: on_screen [--colour R,G,B --min N] [--timeout MS] [--linger MS] -- COMMAND [ARG...]
 * Built by bench/startup_peers.sh: cc -O2 on_screen.c -lX11 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double NowMs(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

/* A viewable window of some size among the root's children. */
static int WindowMapped(Display* d, Window root) {
  Window r, p, *kids = NULL;
  unsigned n = 0;
  int found = 0;
  if (!XQueryTree(d, root, &r, &p, &kids, &n)) return 0;
  for (unsigned i = 0; i < n && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, kids[i], &a) && a.map_state == IsViewable && a.width > 100 &&
        a.height > 100 && a.class == InputOutput)
      found = 1;
  }
  if (kids) XFree(kids);
  return found;
}

/* Ends every client that still has a window on the display (a program of an earlier run
 * that outlived its process group) and waits until the screen is bare. */
static void ClearScreen(Display* d, Window root) {
  for (int tries = 0; tries < 100; ++tries) {
    Window r, p, *kids = NULL;
    unsigned n = 0;
    int left = 0;
    if (XQueryTree(d, root, &r, &p, &kids, &n))
      for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, kids[i], &a) && a.map_state == IsViewable) {
          XKillClient(d, kids[i]);
          left = 1;
        }
      }
    if (kids) XFree(kids);
    XSync(d, False);
    if (!left) return;
    usleep(50000);
  }
}

static long ColourPixels(Display* d, Window root, int w, int h, int cr, int cg, int cb) {
  XImage* img = XGetImage(d, root, 0, 0, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
  if (!img) return 0;
  long count = 0;
  for (int y = 0; y < h; y += 2)
    for (int x = 0; x < w; x += 2) {
      const unsigned long px = XGetPixel(img, x, y);
      const int r = (int)((px >> 16) & 255), g = (int)((px >> 8) & 255), b = (int)(px & 255);
      if (abs(r - cr) <= 12 && abs(g - cg) <= 12 && abs(b - cb) <= 12) count += 4;
    }
  XDestroyImage(img);
  return count;
}

int main(int argc, char** argv) {
  int cr = -1, cg = -1, cb = -1;
  double linger = 0;
  long minPixels = 0;
  double timeout = 20000;
  int i = 1;
  for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
    if (!strcmp(argv[i], "--colour") && i + 1 < argc)
      sscanf(argv[++i], "%d,%d,%d", &cr, &cg, &cb);
    else if (!strcmp(argv[i], "--min") && i + 1 < argc)
      minPixels = atol(argv[++i]);
    else if (!strcmp(argv[i], "--timeout") && i + 1 < argc)
      timeout = atof(argv[++i]);
    else if (!strcmp(argv[i], "--linger") && i + 1 < argc)
      linger = atof(argv[++i]);
  }
  if (i + 1 >= argc) {
    fputs("usage: on_screen [--colour R,G,B --min N] [--timeout MS] [--linger MS] -- COMMAND...\n", stderr);
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fputs("on_screen: no display\n", stderr);
    return 1;
  }
  const Window root = DefaultRootWindow(d);
  XWindowAttributes ra;
  XGetWindowAttributes(d, root, &ra);

  ClearScreen(d, root);
  const double launch = NowMs();
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    execvp(argv[i + 1], argv + i + 1);
    _exit(127);
  }
  double window = -1, picture = -1;
  while (NowMs() - launch < timeout) {
    if (window < 0 && WindowMapped(d, root)) window = NowMs() - launch;
    if (cr >= 0 && picture < 0 &&
        ColourPixels(d, root, ra.width, ra.height, cr, cg, cb) >= minPixels)
      picture = NowMs() - launch;
    if (window >= 0 && (cr < 0 || picture >= 0)) break;
    if (waitpid(pid, NULL, WNOHANG) == pid) break;
    usleep(3000);
  }
  printf("launch=%.1f window=%.1f picture=%.1f\n", launch, window, picture);
  fflush(stdout);
  if (linger > 0) usleep((useconds_t)(linger * 1000));
  kill(-pid, SIGTERM);
  usleep(300000);
  kill(-pid, SIGKILL);
  waitpid(pid, NULL, 0);
  XCloseDisplay(d);
  return 0;
}
