#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// A file in a private temporary folder that a fuzz target rewrites with each
// input, for loaders that read from a path. The folder is on /dev/shm when
// there is one (no disk traffic at thousands of inputs a second) and is
// removed with the object.
class FuzzFile {
public:
    explicit FuzzFile(const std::string& name) {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/lumenfall-fuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder = pattern;
        path = folder + "/" + name;
    }
    ~FuzzFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    void write(const uint8_t* data, size_t size) const {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (!out || std::fwrite(data, 1, size, out) != size || std::fclose(out) != 0) {
            std::perror(path.c_str());
            std::abort();
        }
    }

    std::string folder;
    std::string path;
};
