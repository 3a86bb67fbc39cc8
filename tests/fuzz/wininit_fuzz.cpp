// The rewrite of WinInit.ini with a replacement request, on any bytes the file
// can hold. Input: a settings byte, the target, the source, then the file's
// bytes (the rest).
#include <string>

#include "fuzz_support.h"
#include "preserve/wininit_text.h"

namespace {

bool IsLineStart(const std::string& file, size_t at) {
    return at == 0 || at == file.size() || file[at - 1] == '\n';
}

// Whether the line at offset is a "[rename]" header: optional blanks, then
// the name in any case.
bool IsHeaderLine(const std::string& file, size_t at) {
    size_t end = file.find('\n', at);
    std::string line = file.substr(at, end == std::string::npos ? std::string::npos : end - at);
    size_t name = line.find_first_not_of(" \t");
    return name != std::string::npos && fuzz::Lowered(line.substr(name, 8)) == "[rename]";
}

// Where the first header line starts, or npos.
size_t FirstHeader(const std::string& file) {
    size_t at = 0;
    while (at < file.size()) {
        if (IsHeaderLine(file, at)) {
            return at;
        }
        size_t feed = file.find('\n', at);
        if (feed == std::string::npos) {
            break;
        }
        at = feed + 1;
    }
    return std::string::npos;
}

// The lines added at offset at of the file: a line end for an unterminated
// line before them, the header when the file has none, the two requests, and
// a line end when more of the file follows.
std::string AddedAt(const std::string& file, size_t at, const std::string& target,
                    const std::string& source) {
    std::string added;
    if (at > 0 && file[at - 1] != '\n') {
        added += "\r\n";
    }
    if (FirstHeader(file) == std::string::npos) {
        added += "[rename]\r\n";
    }
    added += "NUL=" + target + "\r\n" + target + "=" + source;
    if (at < file.size()) {
        added += "\r\n";
    }
    return added;
}

// The requests join the first "[rename]" section: after its last line, in
// front of the next line that begins with "[", or at the end of the file; a
// file without the section gets it at its end.
bool IsRightPlace(const std::string& file, size_t at) {
    size_t header = FirstHeader(file);
    if (header == std::string::npos) {
        return at == file.size();
    }
    if (header >= at || (at < file.size() && file[at] != '[')) {
        return false;
    }
    for (size_t line = file.find('\n', header); line != std::string::npos && line + 1 < at;
         line = file.find('\n', line + 1)) {
        if (file[line + 1] == '[') {
            return false;
        }
    }
    return true;
}

std::string Trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return "";
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Whether a line of the first "[rename]" section (up to the next line that
// begins with "[") reads "<target>=<source>", blanks and case aside.
bool SectionMoves(const std::string& file, const std::string& target, const std::string& source) {
    size_t header = FirstHeader(file);
    if (header == std::string::npos) {
        return false;
    }
    size_t at = file.find('\n', header);
    while (at != std::string::npos && at + 1 < file.size() && file[at + 1] != '[') {
        size_t begin = at + 1;
        at = file.find('\n', begin);
        std::string line =
            file.substr(begin, at == std::string::npos ? std::string::npos : at - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t equals = line.find('=');
        if (equals != std::string::npos &&
            fuzz::Lowered(Trimmed(line.substr(0, equals))) == fuzz::Lowered(Trimmed(target)) &&
            fuzz::Lowered(Trimmed(line.substr(equals + 1))) == fuzz::Lowered(Trimmed(source))) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string target = fuzz::CString(input.Field());
    std::string source = fuzz::CString(input.Field());
    std::string file = input.Rest();

    fuzz::Block fileBlock = fuzz::Unterminated(file);
    fuzz::Block targetBlock = fuzz::Terminated(target);
    fuzz::Block sourceBlock = fuzz::Terminated(source);
    size_t room = WinInitRenameCapacity(file.size(), target.size(), source.size());
    size_t shortfall = (settings & 1) != 0 ? settings >> 1 : 0;
    fuzz::Block output(shortfall >= room ? 0 : room - shortfall);
    size_t outputSize = 12345;
    WinInitAdd result =
        AddWinInitRename(fileBlock.bytes, fileBlock.size, targetBlock.bytes, sourceBlock.bytes,
                         nullptr, output.bytes, output.size, &outputSize);
    // A move that the section holds already is never added twice.
    FUZZ_CHECK((result == WinInitAdd::AlreadyListed) == SectionMoves(file, target, source));
    if (output.size == room) {
        FUZZ_CHECK(result != WinInitAdd::NoRoom);
    }
    if (result != WinInitAdd::Added) {
        FUZZ_CHECK(outputSize == 0);
        return 0;
    }
    FUZZ_CHECK(outputSize <= output.size);
    FUZZ_CHECK(outputSize > file.size());
    std::string rewritten(output.bytes, outputSize);

    // Every byte of the old file is kept in order: the rewrite is the file
    // with the added lines put in at one line start.
    size_t addedLength = outputSize - file.size();
    size_t prefix = 0;
    while (prefix < file.size() && rewritten[prefix] == file[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < file.size() &&
           rewritten[outputSize - 1 - suffix] == file[file.size() - 1 - suffix]) {
        ++suffix;
    }
    // Several places can give the same bytes (a file that already ends in
    // our lines); the rewrite is right when one of them is the right place.
    bool placed = false;
    for (size_t split = file.size() - suffix; split <= prefix && !placed; ++split) {
        placed = IsLineStart(file, split) && IsRightPlace(file, split) &&
                 rewritten.compare(split, addedLength, AddedAt(file, split, target, source)) == 0;
    }
    FUZZ_CHECK(placed);

    // The same request again, as a second run before the restart asks for it,
    // adds nothing: unless the names break the line they make (a line end or
    // an "=" in them, or a target that reads as a section header).
    bool oneLine = target.find_first_of("=\r\n") == std::string::npos &&
                   source.find_first_of("\r\n") == std::string::npos &&
                   Trimmed(target).compare(0, 1, "[") != 0;
    if (oneLine) {
        size_t againRoom = WinInitRenameCapacity(outputSize, target.size(), source.size());
        fuzz::Block again(againRoom);
        size_t againSize = 12345;
        FUZZ_CHECK(AddWinInitRename(rewritten.data(), rewritten.size(), targetBlock.bytes,
                                    sourceBlock.bytes, nullptr, again.bytes, again.size,
                                    &againSize) == WinInitAdd::AlreadyListed);
        // What the section moves is found as the start-up carries it out.
        FUZZ_CHECK(WinInitNamesSource(rewritten.data(), rewritten.size(), sourceBlock.bytes));
        FUZZ_CHECK(againSize == 0);
    }
    return 0;
}
