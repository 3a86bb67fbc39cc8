#include "log_reference.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "log_texts.h"
#include "text_wrap.h"

namespace zk::logcheck {

namespace {

constexpr size_t kWidth = 90;

const char* KindName(TextKind kind) {
    switch (kind) {
        case TextKind::Error:
            return "error";
        case TextKind::Warning:
            return "warning";
        case TextKind::Failure:
            return "failure";
        case TextKind::Dif:
            return "dif";
        case TextKind::UnhandledDif:
            return "unhandled-dif";
        case TextKind::Step:
            return "step";
    }
    return "step";
}

// The format as the reference shows it: without its line end.
std::string Shown(const char* format) {
    std::string text = format;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

// Text for a Markdown paragraph: a "<" that starts a placeholder such as
// <system directory> would read as an HTML tag.
std::string Markdown(const char* text) {
    std::string out;
    for (const char* c = text; *c != '\0'; ++c) {
        out += *c == '<' ? std::string("\\<") : std::string(1, *c);
    }
    return out;
}

}  // namespace

std::string EscapedFormat(const char* format) {
    std::string out;
    for (const char* c = format; *c != '\0'; ++c) {
        switch (*c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += *c;
        }
    }
    return out;
}

std::string MessageList() {
    size_t count = 0;
    const LogText* texts = LogTexts(&count);
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        out += std::string(KindName(texts[i].kind)) + "\t" + EscapedFormat(texts[i].format) + "\n";
    }
    return out;
}

std::string ReferenceList() {
    size_t count = 0;
    const LogText* texts = LogTexts(&count);
    std::vector<const LogText*> listed;
    for (size_t i = 0; i < count; ++i) {
        if (texts[i].cause != nullptr) {
            listed.push_back(&texts[i]);
        }
    }
    // ERRORs, then WARNINGs, then the failures without a mark; each
    // alphabetically, as a reader looks a line up.
    auto rank = [](const LogText* text) {
        return text->kind == TextKind::Error ? 0 : text->kind == TextKind::Warning ? 1 : 2;
    };
    std::stable_sort(listed.begin(), listed.end(), [&](const LogText* a, const LogText* b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : strcmp(a->format, b->format) < 0;
    });
    std::string out;
    for (const LogText* text : listed) {
        out += "- `" + Shown(text->format) + "`\n";
        out += WrapText("  - Cause: ", Markdown(text->cause), 4, kWidth);
        out += WrapText("  - Fix: ", Markdown(text->fix), 4, kWidth);
    }
    return out;
}

}  // namespace zk::logcheck
