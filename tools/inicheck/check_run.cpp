#include "check_run.h"

#include <cstdio>
#include <memory>

#include "check_options.h"
#include "ini_check.h"
#include "profile_reader.h"
#include "reg_file.h"
#include "registered_check.h"

namespace zk::inicheck {

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

int RunIniCheck(int argc, const char* const* argv, std::string* out, std::string* err) {
    CheckOptions options;
    std::string error;
    if (!ParseCheckArguments(argc, argv, &options, &error)) {
        *err += "zkinicheck: " + error + "\n" + kCheckUsage;
        return 2;
    }
    if (options.help) {
        *out += kCheckUsage;
        return 0;
    }
    std::string iniText;
    std::string regText;
    for (const char* name : {options.fileName, options.registeredFile}) {
        if (name != nullptr &&
            !ReadWholeFile(name, name == options.fileName ? &iniText : &regText)) {
            *err += std::string("zkinicheck: cannot read ") + name + "\n";
            return 2;
        }
    }
    RegFile registry;
    if (options.registeredFile != nullptr) {
        registry = ParseRegFile(regText);
        if (!registry.isRegistryScript) {
            *err += std::string("zkinicheck: ") + options.registeredFile +
                    " is no registry script: its first line is neither REGEDIT4 nor Windows "
                    "Registry Editor Version 5.00\n";
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
    *out += text + "\n" + WarningCount(warnings) + "\n";
    return warnings > 0 ? 1 : 0;
}

}  // namespace zk::inicheck
