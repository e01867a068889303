#pragma once
// fontconfig's first use reads its configuration and every font's cache:
// a quarter of the window's start-up, and nothing the display connection
// needs. Begun on the other core before the application object is made,
// it is done, or nearly, by the time the window asks for its first font.

#include <thread>

class FontsWarmUp {
public:
    FontsWarmUp();
    // Joins: nothing is left running behind the program's back.
    ~FontsWarmUp();
    FontsWarmUp(const FontsWarmUp&) = delete;
    FontsWarmUp& operator=(const FontsWarmUp&) = delete;

    // Waits until it is done. Call before anything may draw text: Qt would
    // otherwise begin the same reading on this thread, not wait for it.
    void finish();

private:
    std::thread reader_;
};
