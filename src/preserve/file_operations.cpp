#include "preserve/file_operations.h"

namespace {

const FileOperations kSystemOperations = {CopyFileA,   MoveFileA,         MoveFileExA,
                                          DeleteFileA, FindFirstFileA,    FindNextFileA,
                                          FindClose,   GetFileAttributesA};
const FileOperations* g_operations = &kSystemOperations;

}  // namespace

const FileOperations& PreserveFileOperations() {
    return *g_operations;
}

void SetPreserveFileOperations(const FileOperations* operations) {
    g_operations = operations != nullptr ? operations : &kSystemOperations;
}
