// The keyboard, held by the saver while its window is up. No key state is read through it:
// key presses reach the window as ordinary key events.
#pragma once

#include "host/native_window.h"

// Takes the keyboard for the window; a failure is not reported and changes nothing else.
void CaptureKeyboard(NativeWindow window);
// Lets it go; with nothing captured it does nothing.
void ReleaseKeyboard();
