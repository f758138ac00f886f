// Runs a fuzz target over saved inputs without libFuzzer, so any compiler can replay the corpus
// as an ordinary test. Each argument is an input file or a folder of them; inputs run in name
// order, each named before it runs, so a broken invariant's abort shows which one broke it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (fs::is_directory(argv[i], error)) {
            for (fs::directory_iterator it(argv[i], error), end; !error && it != end; it.increment(error)) {
                if (it->is_regular_file(error))
                    inputs.push_back(it->path());
            }
        } else if (!error) {
            inputs.emplace_back(argv[i]);
        }
        if (error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.message().c_str());
            return 1;
        }
    }
    // An empty or mistyped corpus must not pass as a clean replay.
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE|FOLDER...: no inputs found\n", argc > 0 ? argv[0] : "replay");
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.is_open() || in.bad()) {
            std::fprintf(stderr, "%s: cannot be read\n", input.string().c_str());
            return 1;
        }
        std::printf("%s\n", input.string().c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return 0;
}
