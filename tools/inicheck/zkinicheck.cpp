// zkinicheck: prints what the co-installer does with a zkcoinst.ini and with
// the companion programs of a regedit export, and warns about what it skips
// or does unexpectedly. The checks are in ini_check.cpp and registered_check.cpp.
#include <cstdio>
#include <memory>
#include <string>

#include "check_options.h"
#include "ini_check.h"
#include "profile_reader.h"
#include "reg_file.h"
#include "registered_check.h"

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
    using namespace zk::inicheck;
    CheckOptions options;
    std::string error;
    if (!ParseCheckArguments(argc, argv, &options, &error)) {
        (void)fprintf(stderr, "zkinicheck: %s\n%s", error.c_str(), kCheckUsage);
        return 2;
    }
    if (options.help) {
        return fputs(kCheckUsage, stdout) < 0 || fflush(stdout) != 0 ? 2 : 0;
    }
    std::string iniText;
    std::string regText;
    for (const char* name : {options.fileName, options.registeredFile}) {
        if (name != nullptr &&
            !ReadWholeFile(name, name == options.fileName ? &iniText : &regText)) {
            (void)fprintf(stderr, "zkinicheck: cannot read %s\n", name);
            return 2;
        }
    }
    RegFile registry;
    if (options.registeredFile != nullptr) {
        registry = ParseRegFile(regText);
        if (!registry.isRegistryScript) {
            (void)fprintf(stderr,
                          "zkinicheck: %s is no registry script: its first line is neither "
                          "REGEDIT4 nor Windows Registry Editor Version 5.00\n",
                          options.registeredFile);
            return 2;
        }
    }
    std::string text;
    int warnings = 0;
    if (options.fileName != nullptr) {
        CheckReport report = CheckProfile(ParseProfile(iniText), options);
        text += report.text;
        warnings += report.warnings;
    }
    if (options.registeredFile != nullptr) {
        CheckReport report = CheckRegisteredPrograms(registry, options);
        text += (text.empty() ? "" : "\n") + report.text;
        warnings += report.warnings;
    }
    text += "\n" + WarningCount(warnings) + "\n";
    if (fputs(text.c_str(), stdout) < 0 || fflush(stdout) != 0) {
        return 2;  // a report that did not reach its reader checked nothing
    }
    return warnings > 0 ? 1 : 0;
}
