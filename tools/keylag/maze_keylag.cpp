// maze_keylag.cpp -- key-to-pixel latency as a player sees it.
//
//   maze-keylag --window ID [--count N] [--key right|left|l|j]
//
// Sends real X key events (XTest) to the window: for each sample it waits
// for the view to stand still, presses and releases the turn key, and reads
// the window's pixels (XGetImage) until the view has changed; the time from
// the press to the first changed picture is the sample. Then it waits for
// the view to settle before the next one. Prints one line:
//   samples=N median_ms=M p99_ms=P
// A changed view is one where more than kChangedShare of the sampled pixels
// differ: a lamp's flame or a passing bullet is not a turn.
#include "tools/keylag/maze_keylag_options.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kChangedShare = 0.05;   // of the sampled pixels: the view turned
constexpr double kStillShare = 0.01;     // below this between two reads: standing still
constexpr int kStride = 4;               // every 4th pixel of every 4th row
constexpr int kStillMs = 150;            // still this long: settled
constexpr int kSampleTimeoutMs = 3000;   // no change by then: the sample is lost

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The window's pixels in the middle band (a quarter of its height, where
// the view's walls are; a turn changes all of it), every kStride-th pixel
// of every kStride-th row. A band, not the whole window, keeps each read
// short and leaves the X server to the game.
bool readView(Display* x, Window w, int width, int height, std::vector<uint32_t>& out) {
    const int band = std::max(1, height / 4);
    XImage* img = XGetImage(x, w, 0, (height - band) / 2, static_cast<unsigned>(width), static_cast<unsigned>(band),
                            AllPlanes, ZPixmap);
    if (img == nullptr) return false;
    out.clear();
    for (int r = 0; r < band; r += kStride)
        for (int c = 0; c < width; c += kStride) out.push_back(static_cast<uint32_t>(XGetPixel(img, c, r)));
    XDestroyImage(img);
    return true;
}

double differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1.0;
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
    return static_cast<double>(n) / static_cast<double>(a.size());
}

// Reads until two reads kStillMs apart and every read between differ by
// less than kStillShare; false after timeoutMs.
bool waitStill(Display* x, Window w, int width, int height, std::vector<uint32_t>& view, int timeoutMs) {
    const double end = nowMs() + timeoutMs;
    std::vector<uint32_t> next;
    if (!readView(x, w, width, height, view)) return false;
    double stillSince = nowMs();
    while (nowMs() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!readView(x, w, width, height, next)) return false;
        if (differing(view, next) >= kStillShare) stillSince = nowMs();
        view.swap(next);
        if (nowMs() - stillSince >= kStillMs) return true;
    }
    return false;
}

// What stops a measurement once the command line was right.
int fail(const char* why) {
    std::fprintf(stderr, "maze-keylag: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const cli::Parsed args = cli::parse(kMazeKeylagCommand, argc, argv);
    if (args.outcome != cli::Outcome::Run) return cli::finish(args);
    if (!cli::given(args, "window")) return cli::finish(cli::refuse(kMazeKeylagCommand, "--window ID is needed"));
    const unsigned long window = static_cast<unsigned long>(cli::integer(args, "window"));
    const int count = static_cast<int>(cli::integer(args, "count"));
    constexpr KeySym kKeys[] = {XK_Right, XK_Left, XK_l, XK_j};
    const KeySym sym = kKeys[cli::choice(args, "key")];

    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr) return fail("cannot open the display");
    int ev = 0, er = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(x, &ev, &er, &major, &minor)) return fail("the X server has no XTest");
    const Window w = window;
    XWindowAttributes attr;
    if (XGetWindowAttributes(x, w, &attr) == 0) return fail("no such window");
    const KeyCode code = XKeysymToKeycode(x, sym);
    // Keyboard focus follows the pointer without a window manager.
    XWarpPointer(x, None, w, 0, 0, 0, 0, attr.width / 2, attr.height / 2);
    XSetInputFocus(x, w, RevertToParent, CurrentTime);
    XSync(x, False);

    std::vector<double> samples;
    std::vector<uint32_t> before, now;
    for (int n = 0; n < count; ++n) {
        if (!waitStill(x, w, attr.width, attr.height, before, 5000)) {
            std::fprintf(stderr, "maze-keylag: the view never stood still; sample %d skipped\n", n + 1);
            continue;
        }
        const double pressed = nowMs();
        XTestFakeKeyEvent(x, code, True, CurrentTime);
        XTestFakeKeyEvent(x, code, False, CurrentTime);
        XFlush(x);
        bool changed = false;
        while (nowMs() - pressed < kSampleTimeoutMs) {
            if (!readView(x, w, attr.width, attr.height, now)) break;
            if (differing(before, now) > kChangedShare) {
                changed = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        if (changed) samples.push_back(nowMs() - pressed);
        else std::fprintf(stderr, "maze-keylag: no change within %d ms; sample %d lost\n", kSampleTimeoutMs, n + 1);
    }
    XCloseDisplay(x);
    if (samples.empty()) {
        std::printf("samples=0 median_ms=nan p99_ms=nan\n");
        return 1;
    }
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    const double p99 = samples[std::min(samples.size() - 1, static_cast<size_t>(samples.size() * 0.99))];
    std::printf("samples=%zu median_ms=%.1f p99_ms=%.1f\n", samples.size(), median, p99);
    return 0;
}
