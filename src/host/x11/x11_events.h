// What an X event means to the saver's window. The host decides what each meaning does in its
// mode (the full-screen saver ends on input, a window of its own closes on a key, a window
// given to it only follows its size and visibility).
#pragma once

#include <cstdint>

union _XEvent;

enum class SaverEventKind {
    Ignored,       // not about the saver's window, or nothing the saver looks at
    PointerMoved,  // x, y: the pointer's place in the window
    KeyPressed,
    ButtonPressed,  // the left, middle or right button (wheel and side buttons are not)
    FocusLost,      // another program took the keyboard focus
    Resized,        // width, height: the window's new size
    Mapped,
    Unmapped,
    VisibilityChanged,  // fullyObscured: nothing of the window can be seen
    Exposed,            // x, y, width, height: this part of the window must be drawn again
    Destroyed,
    CloseAsked,  // the window manager's close button (WM_DELETE_WINDOW)
};

struct SaverEvent {
    SaverEventKind kind = SaverEventKind::Ignored;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool fullyObscured = false;
};

// The atoms the close button's message is recognised by.
struct CloseAtoms {
    unsigned long protocols = 0;     // WM_PROTOCOLS
    unsigned long deleteWindow = 0;  // WM_DELETE_WINDOW
};

// window: the saver's window. keyboardGrabbed: the saver holds the keyboard, so a focus change
// that reports a grab is the saver's own.
SaverEvent TranslateX11Event(const _XEvent& event, unsigned long window, const CloseAtoms& atoms,
                             bool keyboardGrabbed);
