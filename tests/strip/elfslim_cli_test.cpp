// The elfslim program itself: its texts, exit status and output file, run in a fresh folder.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "reduce.h"
#include "small_image.h"

using elf_fixture::Bytes;
namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    std::string out;  // standard output and standard error together
    int status;
};

std::string quoted(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ProgramRun elfslim(const fs::path& cwd, const std::vector<std::string>& args)
{
    std::string cmd = "cd " + quoted(cwd.string()) + " && " + quoted(ELFSLIM_PATH);
    for (const std::string& a : args)
        cmd += " " + quoted(a);
    cmd += " 2>&1";
    ProgramRun r{{}, -1};
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        r.out.append(buf, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> files_in(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(e.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string dump_of(const std::string& path)
{
    StripImage img{};
    std::ostringstream dump;
    read_image(path.c_str(), img, dump);
    return dump.str();
}

const char kUsage[] =
    "Kavel stripper\n  Using: elfslim victim.elf  this program removes from phone .elf executable all "
    "rubbish like symbol tables";

TEST(ElfslimCli, WrongArgumentCountPrintsUsage)
{
    const TempDir dir;
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"a.elf", "b.elf"}}) {
        const ProgramRun r = elfslim(dir.path(), args);
        EXPECT_EQ(r.out, kUsage);
        EXPECT_EQ(r.status, 0);
    }
    EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(ElfslimCli, ReducesTheAppletImages)
{
    const struct {
        elf_fixture::AppletImage image;
        const char* report;
        std::size_t output_size;
    } cases[] = {
        {elf_fixture::alarm_image(), "-24.25", 6448},
        {elf_fixture::clock_plugin_image(), "-50.56", 708},
        {elf_fixture::ram_plugin_image(), "-53.55", 628},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image.name);
        const TempDir dir;
        const std::string input = dir.file("victim.elf");
        elf_fixture::write_file(input, elf_fixture::build(c.image.desc));

        const ProgramRun first = elfslim(dir.path(), {"victim.elf"});
        EXPECT_EQ(first.status, 0);
        EXPECT_EQ(first.out, dump_of(input) + "Done.\nSize reduction " + c.report);
        const Bytes output = elf_fixture::read_file(dir.file("victim_new.elf"));
        EXPECT_EQ(output.size(), c.output_size);

        const ProgramRun second = elfslim(dir.path(), {"victim_new.elf"});
        EXPECT_EQ(second.status, 0);
        EXPECT_TRUE(second.out.ends_with("Done.\nSize reduction 0.00")) << second.out;
        EXPECT_EQ(elf_fixture::read_file(dir.file("victim_new_new.elf")), output);
    }
}

TEST(ElfslimCli, OutputName)
{
    const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/";
    const struct {
        std::string input;
        std::string output;
    } cases[] = {
        {"victim.elf", "victim_new.elf"},
        {"alarm.bin", "alarm_new.elf"},
        {"alarm", "a_new.elf"},
        {"a.e", "a.e_new.elf"},
        {"sub/dir/x.elf", "sub/dir/x_new.elf"},
        {deep + std::string(40, 'f') + ".elf", deep + std::string(40, 'f') + "_new.elf"},  // past 251 characters
    };
    const Bytes image = elf_fixture::build(elf_fixture::ram_plugin_image().desc);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const TempDir dir;
        fs::create_directories((dir.path() / c.input).parent_path());
        elf_fixture::write_file(dir.file(c.input), image);
        const ProgramRun r = elfslim(dir.path(), {c.input});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(elf_fixture::read_file(dir.file(c.output)).size(), 628u);
    }
}

TEST(ElfslimCli, FailuresEndWithStatus255AndNoOutput)
{
    const Bytes alarm = elf_fixture::build(elf_fixture::alarm_image().desc);
    const struct {
        const char* name;
        Bytes input;  // empty: no input file at all
        std::string out;
    } cases[] = {
        {"missing input", {}, "Read error -1!\n\n"},
        {"eleven program headers", patched<std::uint16_t>(alarm, 44, 11),
         "Elf header\nehdr.e_entry:4708\nehdr.e_phoff:8032\nRead error -9!\n\n"},
        // -(1000 + p_type) is 0 here in 32 bits; the run must still fail, not divide by a size of 0.
        {"program header type whose code wraps to 0",
         small_image({elf_fixture::phdr(0xFFFFFC18u, 0, 0, 0, 0, 0)}, {}),
         "Elf header\nehdr.e_entry:256\nehdr.e_phoff:52\nRead error -12!\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        if (!c.input.empty())
            elf_fixture::write_file(dir.file("victim.elf"), c.input);
        const ProgramRun r = elfslim(dir.path(), {"victim.elf"});
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, 255);
        EXPECT_FALSE(fs::exists(dir.file("victim_new.elf")));
    }
}

TEST(ElfslimCli, WriteErrorLeavesStatus255)
{
    const TempDir dir;
    const std::string input = dir.file("victim.elf");
    elf_fixture::write_file(input, elf_fixture::build(elf_fixture::clock_plugin_image().desc));
    fs::create_directory(dir.file("victim_new.elf"));
    const ProgramRun r = elfslim(dir.path(), {"victim.elf"});
    EXPECT_EQ(r.out, dump_of(input) + "Write error -1!\n\n");
    EXPECT_EQ(r.status, 255);
}

}  // namespace
