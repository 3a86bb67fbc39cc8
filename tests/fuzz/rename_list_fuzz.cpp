// The append to the boot-time rename list, on any bytes the registry value can
// hold. Input: a settings byte, the target, the temporary copy's path, then the
// old list's bytes (the rest).
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "preserve/rename_list.h"

namespace {

// Where the old list's content ends: at the empty string that closes it, found
// where a source is expected, or at the value's end.
size_t ContentEnd(const std::string& list) {
    size_t at = 0;
    bool source = true;
    while (at < list.size()) {
        if (source && list[at] == '\0') {
            return at;
        }
        size_t nul = list.find('\0', at);
        if (nul == std::string::npos) {
            return list.size();
        }
        at = nul + 1;
        source = !source;
    }
    return list.size();
}

struct Pair {
    size_t offset;
    std::string source;
    std::string destination;
};

// Reads the new list the way the boot-time reader does; it must consist of
// whole pairs and end in its closing empty string exactly at size.
std::vector<Pair> WellFormedPairs(const char* list, size_t size) {
    std::vector<Pair> pairs;
    size_t at = 0;
    FUZZ_CHECK(size > 0);
    while (list[at] != '\0') {
        Pair pair = {at, std::string(), std::string()};
        const void* nul = memchr(list + at, '\0', size - at);
        FUZZ_CHECK(nul != nullptr);
        pair.source.assign(list + at, static_cast<const char*>(nul));
        at += pair.source.size() + 1;
        FUZZ_CHECK(at < size);
        nul = memchr(list + at, '\0', size - at);
        FUZZ_CHECK(nul != nullptr);
        pair.destination.assign(list + at, static_cast<const char*>(nul));
        at += pair.destination.size() + 1;
        FUZZ_CHECK(at < size);
        pairs.push_back(pair);
    }
    FUZZ_CHECK(at == size - 1);
    return pairs;
}

// A name of the list as the boot-time reader takes it: without the "\??\"
// prefix, and compared without regard to the case of ASCII letters.
std::string Bare(std::string name) {
    if (name.compare(0, 4, "\\??\\") == 0) {
        name.erase(0, 4);
    }
    return fuzz::Lowered(name);
}

// Whether a pair of the old list that the append keeps moves tempPath onto
// target: the complete pairs, and a last destination cut off at the value's
// end, which the append closes.
bool OldListMoves(const std::string& list, const std::string& target, const std::string& tempPath) {
    size_t at = 0;
    while (at < list.size() && list[at] != '\0') {
        size_t sourceEnd = list.find('\0', at);
        if (sourceEnd == std::string::npos || sourceEnd + 1 == list.size()) {
            return false;
        }
        size_t destinationEnd = list.find('\0', sourceEnd + 1);
        std::string source = list.substr(at, sourceEnd - at);
        std::string destination = list.substr(sourceEnd + 1, destinationEnd == std::string::npos
                                                                 ? std::string::npos
                                                                 : destinationEnd - sourceEnd - 1);
        if (!destination.empty() && destination[0] == '!') {
            destination.erase(0, 1);
        }
        if (!destination.empty() && Bare(source) == fuzz::Lowered(tempPath) &&
            Bare(destination) == fuzz::Lowered(target)) {
            return true;
        }
        if (destinationEnd == std::string::npos) {
            return false;
        }
        at = destinationEnd + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string target = fuzz::CString(input.Field());
    std::string tempPath = fuzz::CString(input.Field());
    std::string list = input.Rest();

    size_t room = RenameRequestCapacity(list.size(), target.size(), tempPath.size());
    // The room the caller is told to allocate, or (one time in two) less.
    size_t shortfall = (settings & 1) != 0 ? settings >> 1 : 0;
    size_t capacity = shortfall > room - list.size() ? list.size() : room - shortfall;
    fuzz::Block buffer(list, capacity);
    std::string before = buffer.Str();
    fuzz::Block targetBlock = fuzz::Terminated(target);
    fuzz::Block tempBlock = fuzz::Terminated(tempPath);
    size_t newSize = 12345;
    RenameAppend result = AppendRenameRequest(buffer.bytes, buffer.size, list.size(),
                                              targetBlock.bytes, tempBlock.bytes, &newSize);
    // A move that is listed already is never listed twice; any other request
    // is added whenever the caller gave the room it was told to.
    bool listed = OldListMoves(list, target, tempPath);
    FUZZ_CHECK((result == RenameAppend::AlreadyListed) == (listed && list.size() <= capacity));
    if (capacity == room) {
        FUZZ_CHECK(result != RenameAppend::NoRoom);
    }
    if (result != RenameAppend::Appended) {
        FUZZ_CHECK(buffer.Str() == before);
        FUZZ_CHECK(newSize == 12345);
        return 0;
    }
    FUZZ_CHECK(newSize <= capacity);

    // Every old string stays byte for byte where it was.
    size_t content = ContentEnd(list);
    FUZZ_CHECK(memcmp(buffer.bytes, list.data(), content) == 0);

    // Our request is one replacing move, the last pair, and the list finds
    // it as the last move onto the target.
    std::vector<Pair> pairs = WellFormedPairs(buffer.bytes, newSize);
    FUZZ_CHECK(!pairs.empty());
    const Pair& move = pairs[pairs.size() - 1];
    FUZZ_CHECK(move.source == "\\??\\" + tempPath && move.destination == "!\\??\\" + target);
    const char* last = nullptr;
    size_t lastLength = 0;
    if (!target.empty()) {
        FUZZ_CHECK(LastMoveOnto(buffer.bytes, newSize, targetBlock.bytes, &last, &lastLength));
        FUZZ_CHECK(std::string(last, lastLength) == tempPath);
    }
    FUZZ_CHECK(RenameListNamesSource(buffer.bytes, newSize, tempBlock.bytes));
    // Between the old content and our request at most the NULs that complete
    // an unfinished last pair.
    FUZZ_CHECK(move.offset >= content && move.offset - content <= 2);
    for (size_t i = content; i < move.offset; ++i) {
        FUZZ_CHECK(buffer.bytes[i] == '\0');
    }

    // The same request again, as a second installation before the restart
    // asks for it, adds nothing.
    std::string appended(buffer.bytes, newSize);
    size_t againRoom = RenameRequestCapacity(appended.size(), target.size(), tempPath.size());
    fuzz::Block again(appended, againRoom);
    std::string againBefore = again.Str();
    size_t againSize = 12345;
    FUZZ_CHECK(AppendRenameRequest(again.bytes, again.size, appended.size(), targetBlock.bytes,
                                   tempBlock.bytes, &againSize) == RenameAppend::AlreadyListed);
    FUZZ_CHECK(again.Str() == againBefore && againSize == 12345);
    return 0;
}
