// Replays fuzz inputs through a harness without the fuzzer: every file named
// on the command line, or every file inside a folder named there, goes to
// LLVMFuzzerTestOneInput once. Lets a compiler without libFuzzer run the
// seed corpus as a smoke test.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    int count = 0;
    for (int k = 1; k < argc; ++k) {
        const std::filesystem::path path = std::filesystem::absolute(argv[k]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file()) Replay(entry.path()), ++count;
        } else {
            Replay(path), ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
