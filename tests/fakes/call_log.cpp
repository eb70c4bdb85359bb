#include "call_log.h"

std::vector<std::string> CallLog;

std::vector<std::string> CallsStartingWith(const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& entry : CallLog) {
        if (entry.rfind(prefix, 0) == 0) found.push_back(entry);
    }
    return found;
}
