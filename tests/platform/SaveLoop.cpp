// "kalo-save-loop PATH FIRST SECOND": saves FIRST and SECOND into PATH in
// turn until it is killed. Says "saving" once it starts.
#include "platform/Files.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    std::puts("saving");
    std::fflush(stdout);
    std::string error;
    for (int i = 0;; i = 1 - i) {
        const char* bytes = argv[2 + i];
        if (!kalo::platform::SaveFile(argv[1], reinterpret_cast<const uint8_t*>(bytes), std::strlen(bytes), error)) {
            std::fprintf(stderr, "kalo-save-loop: %s\n", error.c_str());
            return 1;
        }
    }
}
