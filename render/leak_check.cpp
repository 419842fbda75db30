// leak_check.cpp -- under LeakSanitizer, the end-of-process leak check runs
// before the toolkit's own exit handler.
//
// freeglut ends every process that called glutInit with an exit handler that
// closes the X display; Mesa then unloads its driver, whose contexts and
// buffers were reachable from the driver's own data until that moment. A
// check after it reports them as leaks from an unknown module, which no
// suppression can name. Checked before it, they are still reachable, and a
// leak of ours is still found: every object of the game is alive then.
#include <cstdlib>

#include "render/render.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define MAZE_EARLY_LEAK_CHECK 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MAZE_EARLY_LEAK_CHECK 1
#endif

#ifdef MAZE_EARLY_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

void checkLeaksBeforeToolkitExit() {
#ifdef MAZE_EARLY_LEAK_CHECK
    // Exit handlers run last registered first: this one before freeglut's.
    std::atexit([] { __lsan_do_leak_check(); });
#endif
}
