// How the system started the saver; the Linux program always runs it as Saver.
#pragma once

#include <cstdint>

enum class SaverMode : uint32_t { Saver = 0, Config = 1, ChangePassword = 2, Preview = 3 };
