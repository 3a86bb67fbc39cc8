// zkinicheck: prints what the co-installer does with a zkcoinst.ini and warns
// about what it skips or does unexpectedly. The checking is in ini_check.cpp.
#include <cstdio>
#include <memory>
#include <string>

#include "ini_check.h"
#include "profile_reader.h"

namespace {

bool ReadWholeFile(const char* path, std::string* text) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path, "rb"), &fclose);
    if (!file) {
        return false;
    }
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        text->append(chunk, got);
    }
    bool ok = ferror(file.get()) == 0;
    return fclose(file.release()) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    zk::inicheck::CheckOptions options;
    std::string error;
    if (!zk::inicheck::ParseCheckArguments(argc, argv, &options, &error)) {
        (void)fprintf(stderr, "zkinicheck: %s\n%s", error.c_str(), zk::inicheck::kCheckUsage);
        return 2;
    }
    std::string text;
    if (!ReadWholeFile(options.fileName, &text)) {
        (void)fprintf(stderr, "zkinicheck: cannot read %s\n", options.fileName);
        return 2;
    }
    zk::inicheck::CheckReport report =
        zk::inicheck::CheckProfile(zk::inicheck::ParseProfile(text), options);
    if (fputs(report.text.c_str(), stdout) < 0 || fflush(stdout) != 0) {
        return 2;  // a report that did not reach its reader checked nothing
    }
    return report.warnings > 0 ? 1 : 0;
}
