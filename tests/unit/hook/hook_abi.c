/* Loads libjotvanehook.so the way any C host would: dlopen, the exports resolved by name,
 * called in the order the note keeper uses. Without an X display SetDeskHook must say so with 0
 * and every other call must still be safe; with one (JV_HOOK_EXPECT_DISPLAY=1) it must answer 1.
 * Exit code 0 on success, 1 on a failure. */
#include <dlfcn.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#include "hook/JotvaneHook.h"

typedef uint8_t (*SetDeskHookFn)(unsigned long);
typedef void (*SetBoolFn)(uint8_t);
typedef void (*SetEssayColorFn)(int32_t, int32_t);
typedef void (*SetEssayFontFn)(const JvLogFontW*);
typedef void (*SetEssayFn)(int32_t, const uint16_t*);
typedef void (*SetEssayCountFn)(int32_t);
typedef void (*SetEssayAligmentFn)(int8_t, int32_t);
typedef uint8_t (*OverlayAvailableFn)(void);
typedef int32_t (*ShowOverlayFn)(const uint32_t*, int32_t, int32_t, int32_t, int32_t);
typedef void (*CloseOverlayFn)(int32_t);

static int failures = 0;

static void check(int condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static void* resolve(void* library, const char* name)
{
    void* symbol = dlsym(library, name);
    if (!symbol) {
        fprintf(stderr, "FAILED: export %s not found\n", name);
        exit(1);
    }
    return symbol;
}

/* UTF-16 of an ASCII text, for the lines. */
static void utf16(const char* text, uint16_t* out)
{
    size_t i = 0;
    for (; text[i]; ++i)
        out[i] = (uint16_t)(unsigned char)text[i];
    out[i] = 0;
}

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "libjotvanehook.so";
    const char* expect = getenv("JV_HOOK_EXPECT_DISPLAY");
    const int expectDisplay = expect && strcmp(expect, "1") == 0;
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "FAILED: dlopen %s: %s\n", path, dlerror());
        return 1;
    }
    check(sizeof(JvLogFontW) == 92, "the logical font is 92 bytes");

    SetDeskHookFn setDeskHook = (SetDeskHookFn)resolve(library, "SetDeskHook");
    SetBoolFn setShowClock = (SetBoolFn)resolve(library, "SetShowClock");
    SetBoolFn setShowWallPaper = (SetBoolFn)resolve(library, "SetShowDesktopWallPaper");
    SetEssayColorFn setEssayColor = (SetEssayColorFn)resolve(library, "SetEssayColor");
    SetEssayFontFn setEssayFont = (SetEssayFontFn)resolve(library, "SetEssayFont");
    SetEssayFn setEssay = (SetEssayFn)resolve(library, "SetEssay");
    SetEssayCountFn setEssayCount = (SetEssayCountFn)resolve(library, "SetEssayCount");
    SetEssayAligmentFn setEssayAligment = (SetEssayAligmentFn)resolve(library, "SetEssayAligment");

    OverlayAvailableFn overlayAvailable = (OverlayAvailableFn)resolve(library, "OverlayNoticesAvailable");
    ShowOverlayFn showOverlay = (ShowOverlayFn)resolve(library, "ShowOverlayNotice");
    CloseOverlayFn closeOverlay = (CloseOverlayFn)resolve(library, "CloseOverlayNotice");

    /* Notices need a Wayland compositor: without one none is shown, and closing any number is
     * safe. */
    if (!getenv("WAYLAND_DISPLAY")) {
        const uint32_t pixels[4] = {0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u};
        check(overlayAvailable() == 0, "no overlay notices without a Wayland display");
        check(showOverlay(pixels, 2, 2, 16, 2) == 0, "a notice without a Wayland display is refused");
    }
    closeOverlay(0);
    closeOverlay(12345);

    /* Switching on: clock off, the hook, then the settings and the lines. */
    setShowClock(0);
    const uint8_t installed = setDeskHook(expectDisplay ? 1ul : 0x1234ul);
    if (expectDisplay)
        check(installed == 1, "SetDeskHook installs the display on a reachable X server");
    else
        check(installed == 0, "SetDeskHook answers 0 without an X display");
    setShowWallPaper(1);
    setEssayColor(65280, 16777215);

    /* The font lives on the stack and is overwritten right after the call: the library copies. */
    {
        JvLogFontW font;
        memset(&font, 0, sizeof font);
        font.lfHeight = -15;
        font.lfWeight = 400;
        font.lfCharSet = 134;
        font.lfFaceName[0] = 0x5B8B; /* 宋 */
        font.lfFaceName[1] = 0x4F53; /* 体 */
        setEssayFont(&font);
        memset(&font, 0xAB, sizeof font);
    }
    setEssayFont(NULL); /* ignored */
    setEssayColor(65280, 16777215);

    uint16_t buffer[64];
    utf16("first line", buffer);
    setEssay(0, buffer);
    memset(buffer, 0xCD, sizeof buffer); /* overwritten: the text was copied */
    utf16("-", buffer);
    setEssay(1, buffer);
    setEssay(2, NULL);         /* an empty line */
    setEssay(-1, buffer);      /* ignored */
    setEssay(1 << 30, buffer); /* ignored, no huge allocation */
    setEssayCount(3);
    setEssayAligment(1, 10);
    setEssayAligment((int8_t)-1, 10);
    setEssayAligment(0, -5);

    /* A set that is closed with a count larger than what was sent, then an empty set. */
    setEssayCount(5);
    setEssayCount(0);

    /* Off, on again, off: each time the same calls are safe. */
    setDeskHook(0);
    setDeskHook(0);
    if (expectDisplay) {
        /* A busy X server may refuse a new connection for a moment: a few tries. */
        uint8_t again = 0;
        for (int attempt = 0; attempt < 5 && !again; ++attempt) {
            again = setDeskHook(1ul);
            if (!again)
                usleep(200 * 1000);
        }
        check(again == 1, "SetDeskHook installs again after removal");
        check(setDeskHook(1ul) == 1, "a second install keeps the display");
        /* With JV_HOOK_LOSE_DISPLAY=1 the X server (JV_XVFB_PID) goes away under the drawing
         * thread: the library must not end the process, and removing the display afterwards
         * must be safe. */
        const char* lose = getenv("JV_HOOK_LOSE_DISPLAY");
        const char* server = getenv("JV_XVFB_PID");
        if (lose && strcmp(lose, "1") == 0 && server && atoi(server) > 0) {
            setEssayCount(3);
            usleep(300 * 1000);
            kill((pid_t)atoi(server), SIGKILL);
            /* The thread polls its connection at least once a second. */
            sleep(2);
            setEssayCount(2);
            usleep(300 * 1000);
            printf("hook ABI: the process outlived its X server\n");
        }
        setDeskHook(0);
    }

    dlclose(library);
    if (failures == 0)
        printf("hook ABI: all checks passed\n");
    return failures ? 1 : 0;
}
