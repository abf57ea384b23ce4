/* Keys and clicks for the Wayland end-to-end suites: one virtual keyboard, whose keymap is
 * uploaded once, and one virtual pointer. Commands come on standard input, one a line, and each
 * is answered "ok" (or "error: ...") once the compositor has taken it:
 *
 *   key super+j         presses the keys in order and releases them in reverse
 *   click X Y W H       moves to X,Y of a W×H layout and clicks the left button
 *   move X Y W H        moves only
 */
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static struct wl_seat* seat;
static struct zwp_virtual_keyboard_manager_v1* keyboardManager;
static struct zwlr_virtual_pointer_manager_v1* pointerManager;
static struct xkb_keymap* keymap;
static struct xkb_state* state;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        keyboardManager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        pointerManager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void globalRemove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {global, globalRemove};

static uint32_t now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

/* The evdev code of the first key whose unshifted symbol is the named one; -1 when none is. */
static int keyCode(const char* name)
{
    static const struct
    {
        const char* alias;
        const char* keysym;
    } aliases[] = {{"ctrl", "Control_L"}, {"alt", "Alt_L"},  {"shift", "Shift_L"},
                   {"super", "Super_L"},  {"esc", "Escape"}, {"enter", "Return"}};
    for (size_t i = 0; i < sizeof aliases / sizeof aliases[0]; ++i)
        if (strcasecmp(name, aliases[i].alias) == 0)
            name = aliases[i].keysym;
    xkb_keysym_t wanted = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    if (wanted == XKB_KEY_NoSymbol)
        wanted = xkb_keysym_from_name(name, XKB_KEYSYM_CASE_INSENSITIVE);
    if (wanted == XKB_KEY_NoSymbol)
        return -1;
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
         ++code) {
        const xkb_keysym_t* syms = NULL;
        const int n = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
        for (int i = 0; i < n; ++i)
            if (syms[i] == wanted)
                return (int)code - 8;
    }
    return -1;
}

static int uploadKeymap(struct zwp_virtual_keyboard_v1* keyboard)
{
    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct xkb_rule_names names = {NULL, NULL, "us", NULL, NULL};
    keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return -1;
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const size_t size = strlen(text) + 1;
    const int fd = memfd_create("jv-wlinput-keymap", MFD_CLOEXEC);
    if (fd < 0 || write(fd, text, size) != (ssize_t)size)
        return -1;
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, (uint32_t)size);
    state = xkb_state_new(keymap);
    close(fd);
    free(text);
    return 0;
}

static void sendModifiers(struct zwp_virtual_keyboard_v1* keyboard, xkb_keycode_t code,
                          enum xkb_key_direction direction)
{
    if (!(xkb_state_update_key(state, code, direction) & XKB_STATE_MODS_EFFECTIVE))
        return;
    zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

static const char* pressKeys(struct zwp_virtual_keyboard_v1* keyboard, char* combo)
{
    int codes[8];
    int n = 0;
    for (char* part = strtok(combo, "+"); part && n < 8; part = strtok(NULL, "+")) {
        codes[n] = keyCode(part);
        if (codes[n] < 0)
            return "unknown key";
        ++n;
    }
    /* The compositor takes the modifier state from the modifiers request, not from the keys. */
    for (int i = 0; i < n; ++i) {
        zwp_virtual_keyboard_v1_key(keyboard, now(), (uint32_t)codes[i], WL_KEYBOARD_KEY_STATE_PRESSED);
        sendModifiers(keyboard, codes[i] + 8, XKB_KEY_DOWN);
    }
    for (int i = n - 1; i >= 0; --i) {
        zwp_virtual_keyboard_v1_key(keyboard, now(), (uint32_t)codes[i], WL_KEYBOARD_KEY_STATE_RELEASED);
        sendModifiers(keyboard, codes[i] + 8, XKB_KEY_UP);
    }
    return NULL;
}

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wlinput: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !keyboardManager || !pointerManager) {
        fprintf(stderr, "wlinput: the compositor offers no virtual keyboard or pointer\n");
        return 1;
    }
    struct zwp_virtual_keyboard_v1* keyboard =
        zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager, seat);
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager, seat);
    if (uploadKeymap(keyboard) != 0) {
        fprintf(stderr, "wlinput: no keymap\n");
        return 1;
    }
    wl_display_roundtrip(display);
    printf("ready\n");
    fflush(stdout);

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        line[strcspn(line, "\r\n")] = 0;
        const char* error = NULL;
        unsigned x = 0, y = 0, w = 0, h = 0;
        if (strncmp(line, "key ", 4) == 0) {
            error = pressKeys(keyboard, line + 4);
        } else if ((strncmp(line, "click ", 6) == 0 || strncmp(line, "move ", 5) == 0) &&
                   sscanf(strchr(line, ' ') + 1, "%u %u %u %u", &x, &y, &w, &h) == 4 && x < w && y < h) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now(), x, y, w, h);
            zwlr_virtual_pointer_v1_frame(pointer);
            if (line[0] == 'c') {
                zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
                zwlr_virtual_pointer_v1_frame(pointer);
                zwlr_virtual_pointer_v1_button(pointer, now(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
                zwlr_virtual_pointer_v1_frame(pointer);
            }
        } else {
            error = "unknown command";
        }
        if (wl_display_roundtrip(display) < 0)
            error = "the compositor closed the connection";
        if (error)
            printf("error: %s\n", error);
        else
            printf("ok\n");
        fflush(stdout);
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwp_virtual_keyboard_manager_v1_destroy(keyboardManager);
    zwlr_virtual_pointer_manager_v1_destroy(pointerManager);
    wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
