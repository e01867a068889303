// Closes a top-level window the way a window manager's close button does
// (a WM_DELETE_WINDOW message) and times how long its process takes to end.
//
//   close-timer WINDOW_ID PID    prints milliseconds; fails after 10 s

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

// Gone, or a zombie its parent has not reaped yet.
bool ended(const std::string& pid)
{
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const auto state = line.rfind(") ");
    return state != std::string::npos && line[state + 2] == 'Z';
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: close-timer WINDOW_ID PID\n");
        return 2;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const std::string pid = argv[2];
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "close-timer: cannot open the display\n");
        return 1;
    }
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = atom(connection, "WM_PROTOCOLS");
    message.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;

    const auto started = std::chrono::steady_clock::now();
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    while (!ended(pid)) {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(10)) {
            std::fprintf(stderr, "close-timer: process %s still runs 10 s after the close\n", pid.c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
    xcb_disconnect(connection);
    return 0;
}
