/* Prints a wall-clock timestamp for every top-level window that is created,
 * mapped, unmapped or renamed on the display, with the window's name:
 *
 *   1765210860.012345 map 0x1a00007 You have a new message waiting
 *
 * Without a window manager the programs' windows are children of the root,
 * so SubstructureNotify on the root sees every map as the server does it;
 * the time is taken when the event arrives, well under a millisecond later.
 * Names set after the map arrive as "name" lines. "ready" is printed once
 * the selection is in place, so the caller knows nothing is missed.
 *
 * "mapwatch --probe" maps a window of its own 20 times and prints the
 * median and the longest time from the map request to its MapNotify: what
 * the server and the scheduler add to each stamp, at the current load. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <xcb/xcb.h>

static xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *r
        = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t a = r ? r->atom : XCB_ATOM_NONE;
    free(r);
    return a;
}

static xcb_atom_t netWmName;

/* The window's name: _NET_WM_NAME if set, else WM_NAME; empty if neither. */
static void windowName(xcb_connection_t *c, xcb_window_t w, char *out, size_t size)
{
    const xcb_atom_t props[2] = { netWmName, XCB_ATOM_WM_NAME };
    out[0] = '\0';
    for (int i = 0; i < 2; ++i) {
        xcb_get_property_reply_t *r = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, props[i], XCB_GET_PROPERTY_TYPE_ANY, 0, 256), NULL);
        if (!r)
            continue;
        int len = xcb_get_property_value_length(r);
        if (len > 0) {
            size_t n = (size_t)len < size - 1 ? (size_t)len : size - 1;
            memcpy(out, xcb_get_property_value(r), n);
            out[n] = '\0';
            for (size_t k = 0; k < n; ++k)
                if (out[k] == '\n' || out[k] == '\r')
                    out[k] = ' ';
            free(r);
            return;
        }
        free(r);
    }
}

static void report(const char *what, xcb_window_t w, const char *name)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    printf("%lld.%06ld %s 0x%x %s\n", (long long)now.tv_sec, now.tv_nsec / 1000, what, w, name);
    fflush(stdout);
}

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

static int byValue(const void *a, const void *b)
{
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

/* Waits for the root's notification of type `type` about window w. */
static void waitFor(xcb_connection_t *c, uint8_t type, xcb_window_t w)
{
    xcb_generic_event_t *ev;
    while ((ev = xcb_wait_for_event(c))) {
        const uint8_t t = ev->response_type & 0x7f;
        const int hit = t == type
            && ((t == XCB_MAP_NOTIFY && ((xcb_map_notify_event_t *)ev)->window == w)
                || (t == XCB_UNMAP_NOTIFY && ((xcb_unmap_notify_event_t *)ev)->window == w));
        free(ev);
        if (hit)
            return;
    }
}

static int probe(xcb_connection_t *c, xcb_screen_t *screen)
{
    enum { kRounds = 20 };
    double delays[kRounds];
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 16, 16, 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, NULL);
    for (int i = 0; i < kRounds; ++i) {
        const double start = nowMs();
        xcb_map_window(c, w);
        xcb_flush(c);
        waitFor(c, XCB_MAP_NOTIFY, w);
        delays[i] = nowMs() - start;
        xcb_unmap_window(c, w);
        xcb_flush(c);
        waitFor(c, XCB_UNMAP_NOTIFY, w);
    }
    qsort(delays, kRounds, sizeof delays[0], byValue);
    printf("map request to MapNotify: median %.2f ms, longest %.2f ms\n", delays[kRounds / 2],
        delays[kRounds - 1]);
    return 0;
}

int main(int argc, char **argv)
{
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "mapwatch: cannot open the display\n");
        return 1;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    netWmName = atom(c, "_NET_WM_NAME");
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t ck
        = xcb_change_window_attributes_checked(c, screen->root, XCB_CW_EVENT_MASK, &rootMask);
    xcb_generic_error_t *err = xcb_request_check(c, ck);
    if (err) {
        fprintf(stderr, "mapwatch: cannot watch the root window\n");
        free(err);
        return 1;
    }
    if (argc > 1 && strcmp(argv[1], "--probe") == 0)
        return probe(c, screen);
    report("ready", screen->root, "");

    char name[512];
    xcb_generic_event_t *ev;
    while ((ev = xcb_wait_for_event(c))) {
        switch (ev->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const xcb_create_notify_event_t *e = (const xcb_create_notify_event_t *)ev;
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(c, e->window, XCB_CW_EVENT_MASK, &mask);
            windowName(c, e->window, name, sizeof name);
            report("create", e->window, name);
            break;
        }
        case XCB_MAP_NOTIFY: {
            const xcb_map_notify_event_t *e = (const xcb_map_notify_event_t *)ev;
            if (e->event != screen->root)
                break;
            windowName(c, e->window, name, sizeof name);
            report(e->override_redirect ? "map-popup" : "map", e->window, name);
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const xcb_unmap_notify_event_t *e = (const xcb_unmap_notify_event_t *)ev;
            if (e->event == screen->root)
                report("unmap", e->window, "");
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            const xcb_property_notify_event_t *e = (const xcb_property_notify_event_t *)ev;
            if (e->atom == netWmName || e->atom == XCB_ATOM_WM_NAME) {
                windowName(c, e->window, name, sizeof name);
                report("name", e->window, name);
            }
            break;
        }
        default:
            break;
        }
        free(ev);
    }
    return 0;
}
