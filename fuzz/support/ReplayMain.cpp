// Replays a harness's committed corpus once, without libFuzzer: the unit-test
// configuration (gcc, AddressSanitizer and UndefinedBehaviorSanitizer) runs
// every seed and every mended finding through the reader on each CI run.
//   <name>FuzzReplay <file or folder>...
// Folders are read one level deep, in name order, so that a failure names
// the same input on every run.

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

namespace {

bool Replay(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
    // Never a null pointer: libFuzzer passes none, and harnesses may rely on it.
    static const uint8_t kEmpty = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &kEmpty : bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file or folder>...\n", argv[0]);
        return 2;
    }
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        std::filesystem::path arg(argv[i]);
        std::vector<std::filesystem::path> inputs;
        if (std::filesystem::is_directory(arg, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg, error)) {
                if (entry.is_regular_file()) {
                    inputs.push_back(entry.path());
                }
            }
            if (error) {
                std::fprintf(stderr, "cannot list %s: %s\n", arg.c_str(), error.message().c_str());
                return 1;
            }
            std::sort(inputs.begin(), inputs.end());
        } else {
            inputs.push_back(arg);
        }
        for (const auto& input : inputs) {
            if (!Replay(input)) {
                return 1;
            }
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no input to replay\n");
        return 1;
    }
    std::fprintf(stderr, "%zu inputs replayed\n", replayed);
    return 0;
}
