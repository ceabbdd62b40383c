#include "tests/support/sleeping_process.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace testsupport {

std::string NewSleeperFolder() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("ovuninst-test-" + std::to_string(seed()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            return candidate.string();
        }
    }
    return "";
}

void RemoveSleeperFolder(const std::string& folder) {
    std::error_code error;
    if (!folder.empty()) {
        std::filesystem::remove_all(folder, error);
    }
}

} // namespace testsupport
