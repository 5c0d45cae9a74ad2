// Saves two different whole contents into one file, one after the other,
// until it is killed: "kalo-save-loop PATH". Says "saving" once it starts.
#include "platform/Files.h"

#include <cstdio>
#include <string>

#include "SaveLoopContents.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string contents[] = {kalo::test::SaveLoopContents(0), kalo::test::SaveLoopContents(1)};
    std::puts("saving");
    std::fflush(stdout);
    std::string error;
    for (unsigned i = 0;; ++i) {
        const std::string& bytes = contents[i % 2];
        if (!kalo::platform::SaveFile(argv[1], reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error)) {
            std::fprintf(stderr, "kalo-save-loop: %s\n", error.c_str());
            return 1;
        }
    }
}
