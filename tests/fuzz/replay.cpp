// Replays the kept inputs of one libFuzzer target through the entry the
// fuzzer calls, in the normal build: the seed corpus (which must pass, or the
// fuzzer would stop at once) and every input that once found a fault. A fault
// aborts inside the entry, so each file is named on stderr before it is fed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(folder))
        return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Each input in a buffer of exactly its size, as libFuzzer gives it, so an
// overread is caught when the build has AddressSanitizer.
void feed(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    std::fprintf(stderr, "feeding %s (%zu bytes)\n", file.c_str(), bytes.size());
    EXPECT_EQ(LLVMFuzzerTestOneInput(exact.get(), bytes.size()), 0) << file;
}

TEST(FuzzReplay, SeedCorpus)
{
    std::vector<std::filesystem::path> files = filesIn(HUEVANE_FUZZ_CORPUS);
    ASSERT_FALSE(files.empty()) << "no seed inputs in " << HUEVANE_FUZZ_CORPUS;
    for (const auto& file : files)
        feed(file);
}

TEST(FuzzReplay, InputsThatOnceFoundAFault)
{
    for (const auto& file : filesIn(HUEVANE_FUZZ_REGRESSIONS))
        feed(file);
}

} // namespace
