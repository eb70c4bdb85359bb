// One log shared by every fake, so a test can check the order of calls across the device,
// the settings store, the window and the heap.
#pragma once

#include <string>
#include <vector>

extern std::vector<std::string> CallLog;

// Entries whose text starts with prefix, in order.
std::vector<std::string> CallsStartingWith(const std::string& prefix);
