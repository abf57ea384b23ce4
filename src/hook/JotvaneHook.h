/* The desktop-text library's C interface: libjotvanehook.so.
 *
 * The note keeper hands the library the lines to show on the desktop, their font, colours and
 * alignment; the library draws them in a window of its own over the wallpaper. Every text and
 * font passed in is copied; pointers are only read during the call. The functions may be called
 * from any one thread at a time; drawing happens on a thread of the library's own. */
#ifndef JOTVANE_HOOK_H
#define JOTVANE_HOOK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(JOTVANE_HOOK_BUILD)
#define JV_HOOK_EXPORT __attribute__((visibility("default")))
#else
#define JV_HOOK_EXPORT
#endif

/* The logical font as the note keeper describes it: 92 bytes, UTF-16 face name. */
typedef struct JvLogFontW
{
    int32_t lfHeight; /* < 0: character height in pixels; > 0: cell height; 0: default */
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight; /* 400 regular, 700 bold */
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet; /* 134: simplified Chinese */
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    uint16_t lfFaceName[32]; /* NUL-terminated */
} JvLogFontW;

/* window: the desktop's root window (non-zero) installs the display; 0 removes it. Returns
 * non-zero when the display is installed, 0 when no X11 display could be reached. In a Wayland
 * session (WAYLAND_DISPLAY set, also for a host on Xwayland) any non-zero value installs the
 * text on the compositor's bottom layer instead, and 0 comes back when the compositor offers no
 * layer-shell. */
JV_HOOK_EXPORT uint8_t SetDeskHook(unsigned long window);
/* Accepted and kept; no clock is drawn. */
JV_HOOK_EXPORT void SetShowClock(uint8_t show);
/* Non-zero: the wallpaper shows behind the text; 0: a plain background. */
JV_HOOK_EXPORT void SetShowDesktopWallPaper(uint8_t show);
/* Colours as 0x00BBGGRR (a set high byte names a system colour). */
JV_HOOK_EXPORT void SetEssayColor(int32_t separatorColor, int32_t textColor);
JV_HOOK_EXPORT void SetEssayFont(const JvLogFontW* font);
/* Line index from 0, NUL-terminated UTF-16. A line "-" is drawn as a separator rule. */
JV_HOOK_EXPORT void SetEssay(int32_t index, const uint16_t* text);
/* Closes a set of lines: the first count lines given by SetEssay are shown. */
JV_HOOK_EXPORT void SetEssayCount(int32_t count);
/* alignment: -1 left, 0 centred, 1 right; margin in pixels from the work area's edges. */
JV_HOOK_EXPORT void SetEssayAligment(int8_t alignment, int32_t margin);

/* Notices on the compositor's overlay layer (wlr layer-shell), for a host whose own windows would
 * be placed and focused like any other there. Non-zero when a compositor with layer-shell can be
 * reached (a Wayland session, also for a host on Xwayland). */
JV_HOOK_EXPORT uint8_t OverlayNoticesAvailable(void);
/* Shows width × height pixels (0xAARRGGBB, premultiplied alpha, rows of width; copied) at the
 * bottom-right corner of the primary output's area that panels leave free, right and bottom
 * pixels in from its edges. The notice never takes the keyboard, and clicks pass through it. Its
 * number (> 0) for CloseOverlayNotice, or 0 when it cannot be shown. */
JV_HOOK_EXPORT int32_t ShowOverlayNotice(const uint32_t* pixels, int32_t width, int32_t height, int32_t right,
                                         int32_t bottom);
/* Removes the notice; an unknown or removed number is ignored. */
JV_HOOK_EXPORT void CloseOverlayNotice(int32_t notice);

#ifdef __cplusplus
}
#endif

#endif
