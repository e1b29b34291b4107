// Runs the reader and, if it succeeds, the writer on an image held in memory.
#pragma once

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "elf_fixture.h"
#include "strip_image.h"
#include "temp_dir.h"

struct Reduced {
    int read_rc = 0;
    int write_rc = 0;
    std::string dump;
    StripImage image{};
    elf_fixture::Bytes output;  // empty unless both steps succeeded
};

inline Reduced reduce(const elf_fixture::Bytes& input)
{
    const TempDir dir;
    const std::string in = dir.file("in.elf");
    const std::string out = dir.file("in_new.elf");
    Reduced r;
    elf_fixture::write_file(in, input);
    std::ostringstream dump;
    r.read_rc = read_image(in.c_str(), r.image, dump);
    r.dump = dump.str();
    if (r.read_rc == 0) {
        r.write_rc = write_image(out.c_str(), r.image);
        if (r.write_rc == 0)
            r.output = elf_fixture::read_file(out);
    }
    return r;
}

inline std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

template <class T>
T record_at(const elf_fixture::Bytes& bytes, std::size_t offset)
{
    T t{};
    if (offset + sizeof t <= bytes.size())
        std::memcpy(&t, bytes.data() + offset, sizeof t);
    return t;
}
