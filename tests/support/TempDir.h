#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

// A fresh directory under the system's temporary directory, removed with everything in it.
class TTempDir {
public:
    TTempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            FPath = std::filesystem::temp_directory_path() /
                    ("kestaro-test-" + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(FPath, error)) return;
        }
        throw std::runtime_error("cannot make a temporary directory");
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string File(const std::string& AName) const { return (FPath / AName).string(); }

private:
    std::filesystem::path FPath;
};
