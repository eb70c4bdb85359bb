// A web browser for the Wine runs: appends its command line to BROWSER_DOUBLE_LOG (a Windows path;
// default record-args.log beside this program) and ends. Named as the browser by the registry's
// "http\shell\open\command".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    std::string log;
    if (const char* env = std::getenv("BROWSER_DOUBLE_LOG"); env && *env) {
        log = env;
    } else {
        char self[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, self, sizeof self);
        log = self;
        log = log.substr(0, log.find_last_of('\\') + 1) + "record-args.log";
    }
    FILE* f = std::fopen(log.c_str(), "ab");
    if (!f) return 1;
    std::fprintf(f, "%s\n", GetCommandLineA());
    std::fclose(f);
    return 0;
}
