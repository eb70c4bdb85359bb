// Platforms whose screen locker owns the password (XScreenSaver's lock, a desktop's own):
// there is nothing to ask, so every end request may end the saver.
#include "host/password_services.h"

PasswordPrompt* OpenPasswordPrompt()
{
    return nullptr;
}

uint32_t AskPassword(PasswordPrompt*, NativeWindow)
{
    return 1;
}

void ClosePasswordPrompt(PasswordPrompt*) {}
