#include "tests/support/sleeping_process.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace testsupport {

ScratchFolder::ScratchFolder() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto candidate = base / ("ovuninst-test-" + std::to_string(seed()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate.string();
        }
    }
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    if (!path_.empty()) {
        std::filesystem::remove_all(path_, error);
    }
}

} // namespace testsupport
