#include "output_path.h"

// The last four characters go whatever they are (normally ".elf"); a shorter path is kept
// whole. Any length is handled: the string grows as needed.
std::string output_path(std::string_view input)
{
    std::string stem(input.size() >= 4 ? input.substr(0, input.size() - 4) : input);
    return stem + "_new.elf";
}
