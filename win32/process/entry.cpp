// The process entry point: what the system's start-up code does before it
// calls WinMain. The command line is handed over as one string, as Windows
// does; the program ignores it.
#include <windows.h>

#include <string>

int main(int argc, char** argv)
{
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
