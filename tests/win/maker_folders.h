// The maker folders under Common Files, made for a test and removed after it.
#pragma once

#include <windows.h>

#include <string>

namespace zktest {

std::string CommonFilesDirectory();

// Creates <Common Files>\<name> as a directory (or, with asFile, a file) and
// removes it again when it goes out of scope, unless it existed before.
class MakerFolder {
public:
    explicit MakerFolder(const char* name, bool asFile = false);
    ~MakerFolder();
    MakerFolder(const MakerFolder&) = delete;
    MakerFolder& operator=(const MakerFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool created_ = false;
};

}  // namespace zktest
