// read_image: checks an applet image, dumps its headers and collects what the writer needs.
#include <cstdint>
#include <cstring>
#include <new>
#include <ostream>

#include "file_handle.h"
#include "strip_codes.h"
#include "strip_image.h"

void zero_fill(void* p, std::size_t n)
{
    std::memset(p, 0, n);
}

namespace {

constexpr int kDynValues = DT_BIND_NOW + 1;
constexpr std::uint32_t kRebuiltHead = 24;  // DT_RELSZ, DT_REL and DT_NULL entries

// The dump prints plain decimal and lowercase hexadecimal whatever the caller set on the
// stream; the caller gets its flags back afterwards.
class PlainFormat {
public:
    explicit PlainFormat(std::ostream& os) : os_(os), saved_(os.flags(std::ios::dec)) {}
    ~PlainFormat() { os_.flags(saved_); }
    PlainFormat(const PlainFormat&) = delete;
    PlainFormat& operator=(const PlainFormat&) = delete;

private:
    std::ostream& os_;
    std::ios::fmtflags saved_;
};

struct Input {
    std::FILE* file;
    long long size;              // measured before the segments are read; -1 if unknown
    std::uint64_t output_bytes;  // size of the output for what has been collected so far

    // Whether n bytes from offset lie in the file. Checked before a buffer is sized from n,
    // so a header cannot make the reader ask for more memory than the file holds.
    bool holds(std::uint32_t offset, std::uint32_t n) const
    {
        return size >= 0 && offset <= size && n <= size - offset;
    }

    // Counts a collected segment against the 32-bit signed sizes of the output and the report.
    bool output_grows_by(std::uint64_t data_bytes)
    {
        output_bytes += data_bytes + sizeof(Elf32_Phdr);
        return output_bytes <= INT32_MAX;
    }
};

std::unique_ptr<std::uint8_t[]> allocate(std::uint32_t n)
{
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n]);
}

bool read_exactly(std::FILE* f, std::uint8_t* buf, std::uint32_t n)
{
    return std::fread(buf, 1, n, f) == n;
}

void dump_header(std::ostream& out, const Elf32_Ehdr& h)
{
    out << "Elf header" << std::endl;
    out << "ehdr.e_entry:" << std::dec << h.e_entry << std::endl;
    out << "ehdr.e_phoff:" << std::dec << h.e_phoff << std::endl;
}

void dump_load(std::ostream& out, const Elf32_Phdr& p)
{
    out << std::endl;
    out << "Program header" << std::endl;
    out << "Program header" << std::endl;
    out << std::dec;
    out << "phdr.p_type:" << p.p_type << std::endl;
    out << "phdr.p_offset:" << p.p_offset << std::endl;
    out << "phdr.p_vaddr:" << p.p_vaddr << std::endl;
    out << "phdr.p_paddr:" << p.p_paddr << std::endl;
    out << "phdr.p_filesz:" << p.p_filesz << std::endl;
    out << "phdr.p_memsz:" << p.p_memsz << std::endl;
}

void dump_dyn_values(std::ostream& out, const std::uint32_t (&values)[kDynValues])
{
    out << "Dynamic section" << std::endl;
    for (int t = 0; t < kDynValues; ++t)
        out << std::dec << t << " = " << std::hex << values[t] << std::endl;
    out << std::hex;
    out << "dyn[DT_REL]=" << values[DT_REL] << ", dyn[DT_RELA]=" << values[DT_RELA] << std::endl;
    out << "dyn[DT_RELSZ]=" << values[DT_RELSZ] << ", dyn[DT_RELASZ]=" << values[DT_RELASZ]
        << std::endl;
}

int collect_load(Input& in, StripImage& img, const Elf32_Phdr& ph, int index)
{
    if (!in.holds(ph.p_offset, ph.p_filesz))
        return strip_code::short_load(index);
    if (!in.output_grows_by(ph.p_filesz))
        return strip_code::kSizeTooLarge;
    const int k = img.count;
    img.phdrs[k] = ph;
    img.data[k] = allocate(ph.p_filesz);
    if (!img.data[k])
        return strip_code::kNoMemory;
    if (!read_exactly(in.file, img.data[k].get(), ph.p_filesz))
        return strip_code::short_load(index);
    ++img.count;
    return 0;
}

// Scans the entries up to DT_NULL, or to the end of the data when there is none; a partial
// entry at the end is not looked at.
void scan_dynamic(std::ostream& out, const std::uint8_t* data, std::uint32_t size,
                  std::uint32_t (&values)[kDynValues])
{
    for (std::uint32_t at = 0; size - at >= sizeof(Elf32_Dyn); at += sizeof(Elf32_Dyn)) {
        Elf32_Dyn entry;
        std::memcpy(&entry, data + at, sizeof entry);
        if (entry.d_tag == DT_NULL)
            break;
        if (entry.d_tag < 0 || entry.d_tag >= kDynValues)
            continue;
        out << "d_tag=" << std::hex << entry.d_tag << " d_val=" << entry.d_val << std::endl;
        values[entry.d_tag] = entry.d_val;
    }
}

// Builds the relocation-only dynamic segment: DT_RELSZ, DT_REL 24, DT_NULL, then the table.
int collect_relocations(Input& in, StripImage& img, const Elf32_Phdr& ph,
                        const std::uint8_t* data, const std::uint32_t (&values)[kDynValues])
{
    const std::uint32_t rel_size = values[DT_RELSZ];
    const std::uint32_t rel_start = values[DT_REL] - ph.p_vaddr;
    if (rel_start > ph.p_filesz || rel_size > ph.p_filesz - rel_start)
        return strip_code::kRelocOutside;
    if (!in.output_grows_by(std::uint64_t{kRebuiltHead} + rel_size))
        return strip_code::kSizeTooLarge;
    const std::uint32_t size = kRebuiltHead + rel_size;  // below 2^31 after the check above
    auto rebuilt = allocate(size);
    if (!rebuilt)
        return strip_code::kNoMemory;
    const std::uint32_t head[6] = {DT_RELSZ, rel_size, DT_REL, kRebuiltHead, DT_NULL, 0};
    static_assert(sizeof head == kRebuiltHead);
    std::memcpy(rebuilt.get(), head, sizeof head);
    std::memcpy(rebuilt.get() + kRebuiltHead, data + rel_start, rel_size);

    const int k = img.count;
    img.phdrs[k] = Elf32_Phdr{};
    img.phdrs[k].p_type = PT_DYNAMIC;
    img.phdrs[k].p_filesz = size;
    img.data[k] = std::move(rebuilt);
    ++img.count;
    return 0;
}

// dyn_values carries over from one dynamic segment to the next in the same image.
int collect_dynamic(Input& in, StripImage& img, const Elf32_Phdr& ph, std::ostream& out,
                    std::uint32_t (&values)[kDynValues])
{
    out << "dyn seg: off=" << std::hex << ph.p_offset << ", sz=" << ph.p_filesz << std::endl;
    if (!in.holds(ph.p_offset, ph.p_filesz))
        return strip_code::kShortDynamic;
    auto data = allocate(ph.p_filesz);
    if (!data)
        return strip_code::kNoMemory;
    if (!read_exactly(in.file, data.get(), ph.p_filesz))
        return strip_code::kShortDynamic;

    scan_dynamic(out, data.get(), ph.p_filesz, values);
    dump_dyn_values(out, values);
    if (values[DT_RELSZ] == 0) {
        out << "No relocation information dyn[DT_RELSZ]=0" << std::endl;
        return 0;
    }
    return collect_relocations(in, img, ph, data.get(), values);
}

}  // namespace

int read_image(const char* path, StripImage& img, std::ostream& dump)
{
    const PlainFormat plain(dump);
    std::uint32_t dyn_values[kDynValues];
    zero_fill(dyn_values, sizeof dyn_values);

    const FileHandle file(std::fopen(path, "rb"));
    if (!file)
        return strip_code::kOpenInput;
    if (std::fread(&img.header, sizeof img.header, 1, file.get()) != 1)
        return strip_code::kShortHeader;
    if (std::memcmp(img.header.e_ident, "\x7f" "ELF", 4) != 0)
        return strip_code::kBadMagic;
    dump_header(dump, img.header);

    const int phnum = img.header.e_phnum;
    if (phnum > MAX_PHDRS)
        return strip_code::kTooManyPhdrs;

    Elf32_Phdr table[MAX_PHDRS];
    for (int i = 0; i < phnum; ++i) {
        const std::uint32_t at = img.header.e_phoff + std::uint32_t(i) * img.header.e_phentsize;
        if (!seek_to(file.get(), at))
            return strip_code::kSeekPhdr;
        if (std::fread(&table[i], sizeof table[i], 1, file.get()) != 1)
            return strip_code::kShortPhdr;
        if (table[i].p_type == PT_LOAD)
            dump_load(dump, table[i]);
    }

    img.count = 0;
    Input in{file.get(), phnum > 0 ? file_size(file.get()) : -1, sizeof(Elf32_Ehdr)};
    for (int i = 0; i < phnum; ++i) {
        const Elf32_Phdr& ph = table[i];
        if (!seek_to(file.get(), ph.p_offset))
            return strip_code::kSeekSegment;
        int rc;
        if (ph.p_type == PT_LOAD)
            rc = collect_load(in, img, ph, i);
        else if (ph.p_type == PT_DYNAMIC)
            rc = collect_dynamic(in, img, ph, dump, dyn_values);
        else
            rc = strip_code::rejected_type(ph.p_type);
        if (rc != 0)
            return rc;
    }

    const long long size = file_size(file.get());
    if (size < 0 || size > INT32_MAX)
        return strip_code::kSizeTooLarge;
    img.input_size = static_cast<std::int32_t>(size);
    return 0;
}
