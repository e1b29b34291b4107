// write_image: header, segment data back to back, program header table last.
#include <cstdint>
#include <cstdio>

#include "file_handle.h"
#include "strip_codes.h"
#include "strip_image.h"

int write_image(const char* path, StripImage& img)
{
    FileHandle file(std::fopen(path, "wb"));
    if (!file)
        return strip_code::kOpenOutput;

    // The header goes out in its final form, so the table position is known before any data.
    std::uint32_t data_bytes = 0;
    for (int k = 0; k < img.count; ++k)
        data_bytes += img.phdrs[k].p_filesz;
    img.header.e_phnum = static_cast<std::uint16_t>(img.count);
    img.header.e_phoff = sizeof(Elf32_Ehdr) + data_bytes;
    if (std::fwrite(&img.header, 1, sizeof img.header, file.get()) != sizeof img.header)
        return strip_code::kWriteHeader;

    // No alignment padding: a segment without file data takes the offset where the next
    // segment's data begins.
    std::uint32_t offset = sizeof(Elf32_Ehdr);
    for (int k = 0; k < img.count; ++k) {
        Elf32_Phdr& ph = img.phdrs[k];
        if (ph.p_filesz != 0 && std::fwrite(img.data[k].get(), 1, ph.p_filesz, file.get()) != ph.p_filesz)
            return strip_code::short_segment_write(k);
        ph.p_offset = offset;
        offset += ph.p_filesz;
        img.data[k].reset();
    }

    const std::size_t table_bytes = sizeof(Elf32_Phdr) * img.count;
    if (table_bytes != 0 && std::fwrite(img.phdrs, 1, table_bytes, file.get()) != table_bytes)
        return strip_code::kWritePhdrs;

    // The position at the end, counted rather than asked for, so that an output that cannot
    // tell its position (a pipe) still reports its size; the reader kept it below 2^31.
    img.output_size = static_cast<std::int32_t>(offset + table_bytes);
    // Closing writes out what is still buffered, so a full disk may only show here.
    return std::fclose(file.release()) == 0 ? 0 : strip_code::kOpenOutput;
}
