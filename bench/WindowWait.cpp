// Waits, without polling, until a window whose name matches a pattern is
// mapped on the display, and prints the wall-clock time it was seen at (ns
// since the epoch). Polling the window list from the timing script kept one
// of the machine's two cores busy, which slowed the very starts it timed.
// Usage: quillory-window-wait REGEX TIMEOUT_MS
// Prints "ready" once it listens (start the program after that), then the
// time, or "timeout".
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include <poll.h>

namespace {

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::string property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type)
{
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1024), nullptr),
        &std::free);
    if (!reply || reply->type == xcb_atom_t(XCB_ATOM_NONE))
        return {};
    return std::string(static_cast<const char *>(xcb_get_property_value(reply.get())),
        std::size_t(xcb_get_property_value_length(reply.get())));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s REGEX TIMEOUT_MS\n", argv[0]);
        return 2;
    }
    const std::regex pattern(argv[1], std::regex::extended);
    const long long deadline = nowNs() + std::atoll(argv[2]) * 1000000LL;
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atom(c, "UTF8_STRING");
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    // A round trip: the server has taken the mask before "ready" is said.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::printf("ready\n");
    std::fflush(stdout);

    pollfd display { xcb_get_file_descriptor(c), POLLIN, 0 };
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const xcb_window_t window
                = mapped ? reinterpret_cast<xcb_map_notify_event_t *>(event)->window : 0;
            const long long seen = nowNs();
            std::free(event);
            if (!mapped)
                continue;
            std::string name = property(c, window, netName, utf8);
            if (name.empty())
                name = property(c, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
            if (std::regex_search(name, pattern)) {
                std::printf("%lld\n", seen);
                return 0;
            }
        }
        if (xcb_connection_has_error(c))
            return 2;
        const long long left = (deadline - nowNs()) / 1000000;
        if (left <= 0 || poll(&display, 1, int(left)) == 0) {
            std::printf("timeout\n");
            return 1;
        }
    }
}
