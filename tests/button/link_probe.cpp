// Stands in for the program behind a button's link: appends the verb it was started for and
// its show command to "<document>.out".
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3)
        return 1;
    STARTUPINFOA si{};
    ::GetStartupInfoA(&si);
    std::FILE* file = std::fopen((std::string(argv[1]) + ".out").c_str(), "a");
    if (file == nullptr)
        return 1;
    std::fprintf(file, "%s %d\n", argv[2],
                 (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1);
    std::fclose(file);
    return 0;
}
