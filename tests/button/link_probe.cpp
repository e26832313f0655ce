// Stands in for a document behind a button's link: records that it was opened.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH];
    if (::GetEnvironmentVariableA("KESTREL_LINK_PROBE_OUT", path, sizeof(path)) == 0)
        return 1;
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr)
        return 1;
    std::fputs("opened\n", file);
    std::fclose(file);
    return 0;
}
