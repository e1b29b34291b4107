// Writes the three applet image layouts into a folder: alarm_layout.elf, clock_layout.elf and
// ram_layout.elf. The demo reduces the first; the fuzzer starts from all three.
#include <cstdio>
#include <string>

#include "elf_fixture.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_example_images FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::pair<const char*, elf_fixture::AppletImage> images[] = {
        {"alarm_layout.elf", elf_fixture::alarm_image()},
        {"clock_layout.elf", elf_fixture::clock_plugin_image()},
        {"ram_layout.elf", elf_fixture::ram_plugin_image()},
    };
    for (const auto& [file, image] : images) {
        const std::string path = dir + "/" + file;
        if (!elf_fixture::write_file(path, elf_fixture::build(image.desc))) {
            std::fprintf(stderr, "make_example_images: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
