// The name of the reduced image: the input path less its last four characters, plus "_new.elf".
#pragma once

#include <string>
#include <string_view>

std::string output_path(std::string_view input);
