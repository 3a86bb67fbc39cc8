#include "maker_folders.h"

#include <shlobj.h>

#include "test_support.h"

namespace zktest {

std::string CommonFilesDirectory() {
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, path, 43, FALSE);
    return path;
}

MakerFolder::MakerFolder(const char* name, bool asFile)
    : path_(CommonFilesDirectory() + "\\" + name) {
    if (FileExists(path_)) {
        return;
    }
    created_ = true;
    if (asFile) {
        WriteFileBytes(path_, "not a folder");
    } else {
        CreateDirectoryA(path_.c_str(), nullptr);
    }
}

MakerFolder::~MakerFolder() {
    if (created_) {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveTree(path_);
        RemoveFile(path_);
    }
}

}  // namespace zktest
