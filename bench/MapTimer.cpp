// Times a program from exec to its first top-level window being mapped, as
// the X server sees it: subscribes to the root window's structure events
// before starting the program, and stops the clock on the first MapNotify
// of a window that is not override-redirect (a menu or tooltip would be).
// Polling tools such as xdotool --sync look only every half second.
//
//   map-timer PROGRAM [ARGUMENTS...]    prints milliseconds, then ends PROGRAM

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: map-timer PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "map-timer: cannot open the display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_void_cookie_t selected =
        xcb_change_window_attributes_checked(connection, screen->root, XCB_CW_EVENT_MASK, &events);
    if (xcb_generic_error_t* error = xcb_request_check(connection, selected)) {
        std::fprintf(stderr, "map-timer: cannot watch the root window (error %d)\n", error->error_code);
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("map-timer: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }

    double milliseconds = -1;
    pollfd watched{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (milliseconds < 0) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection);
        if (!event) {
            if (poll(&watched, 1, 30000) <= 0)
                break; // no window within 30 s
            if (xcb_connection_has_error(connection))
                break;
            continue;
        }
        if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
            !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect)
            milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        std::free(event);
    }

    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(connection);
    if (milliseconds < 0) {
        std::fprintf(stderr, "map-timer: %s mapped no window\n", argv[1]);
        return 1;
    }
    std::printf("%.1f\n", milliseconds);
    return 0;
}
