// elfslim: reduces an applet image to what the phone's loader needs.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "output_path.h"
#include "strip_image.h"

namespace {

// Starts all zero, like every record of the run; filled by the reader, emptied by the writer.
StripImage image;

// Relative change of the file size in percent: negative when the image got smaller.
double size_change_percent(std::int32_t input_size, std::int32_t output_size)
{
    const std::int64_t change = std::int64_t{output_size} - input_size;
    return static_cast<double>(change) * 100.0 / static_cast<double>(input_size);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("Kavel stripper\n  Using: elfslim victim.elf");
        std::printf("  this program removes from phone .elf executable all rubbish like symbol tables");
        return 0;
    }

    int rc = read_image(argv[1], image, std::cout);
    if (rc != 0) {
        std::printf("Read error %d!\n\n", rc);
        return -1;
    }

    const std::string out = output_path(argv[1]);
    rc = write_image(out.c_str(), image);
    if (rc != 0) {
        std::printf("Write error %d!\n\n", rc);
        return -1;
    }

    std::printf("Done.\nSize reduction %3.2f", size_change_percent(image.input_size, image.output_size));
    return 0;
}
