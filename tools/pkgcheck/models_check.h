// The models sections that [Manufacturer] names, each judged for the
// processor its decoration serves, ending in its verdict line.
#pragma once

#include <vector>

#include "package_checker.h"

namespace zk::pkgcheck {

enum class DecorationKind { Checked, OtherProcessor, Unknown };

struct Decoration {
    std::string models;  // the models section it names
    std::string decoration;
    int line = 0;  // of [Manufacturer]
    DecorationKind kind = DecorationKind::Checked;
    Architecture architecture = Architecture::X86;
    std::string processor;
};

std::vector<Decoration> CollectDecorations(Checker* checker, const InfSection& manufacturer);

// One models section: every install section its model lines name.
void CheckDecoration(Checker* checker, const Decoration& decoration);

}  // namespace zk::pkgcheck
