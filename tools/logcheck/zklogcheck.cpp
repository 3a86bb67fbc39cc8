// zklogcheck: explains zkcoinst.log files: per run the device, the DIF codes
// in order, what was done, and each ERROR and WARNING with its cause and the
// fix in package terms. The reading is in log_reader.cpp, the texts in
// log_texts.cpp, the report in run_report.cpp.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "log_reader.h"
#include "log_reference.h"
#include "run_report.h"

namespace {

const char kUsage[] =
    "usage: zklogcheck ZKCOINST_LOG...\n"
    "Explains zkcoinst.log files: for each run (one device installation, or one\n"
    "SetupEntryPoint call) the device, the DIF codes in order, what was done, and\n"
    "every ERROR and WARNING with its cause and its fix in package terms.\n"
    "--messages lists every text of the DLL that it knows, --reference prints the\n"
    "reference's list of ERROR and WARNING texts.\n"
    "Exit status: 0 no run has an ERROR, 1 a run has one, 2 usage error or a file\n"
    "that cannot be read.\n";

bool ReadWholeFile(const char* path, std::string* bytes) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(fopen(path, "rb"), &fclose);
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

int Print(const std::string& text, int status) {
    return fputs(text.c_str(), stdout) < 0 || fflush(stdout) != 0 ? 2 : status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
            return Print(kUsage, 0);
        }
        if (strcmp(argv[i], "--messages") == 0) {
            return Print(zk::logcheck::MessageList(), 0);
        }
        if (strcmp(argv[i], "--reference") == 0) {
            return Print(zk::logcheck::ReferenceList(), 0);
        }
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            (void)fprintf(stderr, "zklogcheck: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
        files.push_back(argv[i]);
    }
    if (files.empty()) {
        (void)fprintf(stderr, "zklogcheck: no log\n%s", kUsage);
        return 2;
    }
    zk::logcheck::Explanation explanation;
    for (const char* path : files) {
        std::string bytes;
        if (!ReadWholeFile(path, &bytes)) {
            (void)fprintf(stderr, "zklogcheck: cannot read %s\n", path);
            return 2;
        }
        if (!explanation.text.empty()) {
            explanation.text += "\n";
        }
        zk::logcheck::ExplainLog(path, zk::logcheck::ReadLog(bytes), &explanation);
    }
    explanation.text += "\n" + zk::logcheck::ClosingLine(explanation) + "\n";
    return Print(explanation.text, explanation.runsWithErrors > 0 ? 1 : 0);
}
