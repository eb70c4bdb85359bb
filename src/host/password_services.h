// The system's screensaver password. The saver never stores or compares a password: the
// system's own routine asks for it.
#pragma once

#include <cstdint>

#include "host/native_window.h"

struct PasswordPrompt;

// The system's password prompt when a password is in use and the routine can be reached;
// null otherwise, and then the saver may end without asking.
PasswordPrompt* OpenPasswordPrompt();
// Shows the prompt, owned by the window; non-zero when the password was entered correctly.
// Runs its own message loop, so the saver window's handlers are entered meanwhile.
uint32_t AskPassword(PasswordPrompt* prompt, NativeWindow owner);
// Lets the routine go again. Null does nothing.
void ClosePasswordPrompt(PasswordPrompt* prompt);
