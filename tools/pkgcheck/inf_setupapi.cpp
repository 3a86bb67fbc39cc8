#include "inf_setupapi.h"

#include <windows.h>
#include <setupapi.h>

#include <vector>

#include "common/bounded_text.h"
#include "common/win_handles.h"
#include "package_files.h"

namespace zk::pkgcheck {

namespace {

bool SectionName(HINF inf, UINT index, std::string* name) {
    UINT needed = 0;
    if (!SetupEnumInfSectionsA(inf, index, nullptr, 0, &needed) || needed == 0) {
        return false;
    }
    std::vector<char> buffer(needed);
    if (!SetupEnumInfSectionsA(inf, index, buffer.data(), needed, &needed)) {
        return false;
    }
    name->assign(buffer.data());
    return true;
}

}  // namespace

bool ReadInfField(INFCONTEXT* context, DWORD index, std::string* text) {
    DWORD needed = 0;
    if (!SetupGetStringFieldA(context, index, nullptr, 0, &needed) || needed == 0) {
        return false;
    }
    std::vector<char> buffer(needed);
    if (!SetupGetStringFieldA(context, index, buffer.data(), needed, &needed)) {
        return false;
    }
    text->assign(buffer.data());
    return true;
}

bool ReadInfThroughSetupApi(const std::string& path, InfFile* file, InfReadResult* ours,
                            std::string* error) {
    *file = InfFile();
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (length == 0 || length >= sizeof(full)) {
        *error = "the path is too long";
        return false;
    }
    UINT errorLine = 0;
    UniqueInf inf(SetupOpenInfFileA(full, nullptr, INF_STYLE_WIN4, &errorLine));
    if (!inf) {
        DWORD code = GetLastError();
        FixedText<96> text;
        *error = text.Format("SetupOpenInfFileA fails with 0x%08lX at line %u", code, errorLine)
                     ? text.c_str()
                     : "SetupOpenInfFileA fails";
        return false;
    }
    // Line numbers, which SetupAPI does not tell, from the project's reader.
    InfFile numbered;
    std::string bytes;
    *ours = ReadWholeFile(path, &bytes) ? ReadInf(bytes, &numbered)
                                        : InfReadResult{InfError::WrongInfStyle, 0};
    std::string name;
    for (UINT index = 0; SectionName(inf.Get(), index, &name); ++index) {
        InfSection section;
        section.name = name;
        const InfSection* known = FindInfSection(numbered, name);
        if (known != nullptr) {
            section.name = known->name;
            section.line = known->line;
        }
        LONG count = SetupGetLineCountA(inf.Get(), name.c_str());
        for (LONG i = 0; i < count; ++i) {
            INFCONTEXT context;
            if (!SetupGetLineByIndexA(inf.Get(), name.c_str(), static_cast<DWORD>(i), &context)) {
                continue;
            }
            InfLine line;
            line.hasKey = ReadInfField(&context, 0, &line.key);
            DWORD fields = SetupGetFieldCount(&context);
            for (DWORD f = 1; f <= fields; ++f) {
                std::string field;
                (void)ReadInfField(&context, f, &field);
                line.fields.push_back(field);
            }
            if (known != nullptr && static_cast<LONG>(known->lines.size()) == count) {
                line.line = known->lines[static_cast<size_t>(i)].line;
            }
            section.lines.push_back(line);
        }
        file->sections.push_back(section);
    }
    return true;
}

}  // namespace zk::pkgcheck
