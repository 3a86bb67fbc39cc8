#include "package_files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace zk::pkgcheck {

namespace {

using UniqueDir = std::unique_ptr<DIR, int (*)(DIR*)>;

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    UniqueDir dir(opendir(folder.empty() ? "." : folder.c_str()), &closedir);
    if (!dir) {
        return names;
    }
    while (const dirent* entry = readdir(dir.get())) {
        names.emplace_back(entry->d_name);
    }
    return names;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

}  // namespace

bool IsDirectory(const std::string& path) {
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool FindPackageFile(const std::string& folder, const std::string& relative, std::string* path,
                     std::string* shown) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= relative.size(); ++i) {
        if (i == relative.size() || relative[i] == '\\' || relative[i] == '/') {
            if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += relative[i];
        }
    }
    if (parts.empty()) {
        return false;
    }
    std::string current = folder;
    std::string spelled;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::string found;
        for (const std::string& name : FolderNames(current)) {
            if (name == parts[i]) {
                found = name;
                break;
            }
            if (found.empty() && strcasecmp(name.c_str(), parts[i].c_str()) == 0) {
                found = name;
            }
        }
        if (found.empty()) {
            return false;
        }
        current = Join(current, found);
        spelled += (i == 0 ? "" : "\\") + found;
    }
    struct stat status = {};
    if (stat(current.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    *path = current;
    *shown = spelled;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    bytes->clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path.c_str(), "rb"), &fclose);
    if (!file) {
        return false;
    }
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        bytes->append(chunk, got);
    }
    bool ok = ferror(file.get()) == 0;
    return fclose(file.release()) == 0 && ok;
}

bool FindInfInFolder(const std::string& folder, std::string* name, std::string* error) {
    std::vector<std::string> found;
    for (const std::string& entry : FolderNames(folder)) {
        if (entry.size() > 4 && strcasecmp(entry.c_str() + entry.size() - 4, ".inf") == 0 &&
            !IsDirectory(Join(folder, entry))) {
            found.push_back(entry);
        }
    }
    if (found.size() == 1) {
        *name = found[0];
        return true;
    }
    *error = found.empty() ? "no INF file in " + folder
                           : "more than one INF file in " + folder + "; name the one to check";
    return false;
}

}  // namespace zk::pkgcheck
