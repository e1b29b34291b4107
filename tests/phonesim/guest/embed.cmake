# Writes the bytes of INPUT as a C++ array named NAME into OUTPUT.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#pragma once\n#include <cstdint>\ninline constexpr uint8_t ${NAME}[] = {${bytes}};\n")
