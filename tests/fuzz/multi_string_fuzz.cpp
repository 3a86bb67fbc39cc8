// The three edits of a class filter list, on any bytes a registry value can
// hold. Input: a settings byte, the name, then the list's bytes (the rest).
#include <string>
#include <vector>

#include "driverstack/multi_string.h"
#include "fuzz_support.h"

namespace {

// The list's strings as the registry's readers see them: non-empty runs ended
// by a NUL or by the value's end.
std::vector<std::string> StringsOf(const std::string& list) {
    std::vector<std::string> strings;
    size_t at = 0;
    while (at < list.size()) {
        size_t nul = list.find('\0', at);
        size_t end = nul == std::string::npos ? list.size() : nul;
        if (end > at) {
            strings.push_back(list.substr(at, end - at));
        }
        at = end + 1;
    }
    return strings;
}

// The normal form every rebuilt list takes: each string with its NUL, then one
// closing NUL.
std::string Joined(const std::vector<std::string>& strings) {
    std::string list;
    for (const std::string& text : strings) {
        list += text;
        list += '\0';
    }
    list += '\0';
    return list;
}

bool SameName(const std::string& text, const std::string& name) {
    return fuzz::Lowered(text) == fuzz::Lowered(name);
}

// The capacity a run gives the edit: the room the edit says it needs, or (one
// time in two) less, down to nothing, so that refusals are exercised as well.
size_t ChosenCapacity(size_t room, uint8_t settings) {
    if ((settings & 1) == 0) {
        return room;
    }
    size_t shortfall = settings >> 1;
    return shortfall >= room ? 0 : room - shortfall;
}

void CheckRemove(const std::string& list, const std::string& name, uint8_t settings) {
    fuzz::Block input = fuzz::Unterminated(list);
    fuzz::Block nameBlock = fuzz::Terminated(name);
    size_t room = RemovalCapacity(list.size());
    fuzz::Block output(ChosenCapacity(room, settings));
    size_t outputSize = 99;
    size_t removed = 99;
    bool ok = RemoveFromMultiString(input.bytes, input.size, nameBlock.bytes, output.bytes,
                                    output.size, &outputSize, &removed);

    std::vector<std::string> kept;
    size_t dropped = 0;
    for (const std::string& text : StringsOf(list)) {
        if (SameName(text, nameBlock.bytes)) {
            ++dropped;
        } else {
            kept.push_back(text);
        }
    }
    std::string expected = Joined(kept);
    FUZZ_CHECK(removed == dropped);
    FUZZ_CHECK(expected.size() <= room);
    FUZZ_CHECK(ok == (expected.size() <= output.size));
    if (ok) {
        FUZZ_CHECK(outputSize == expected.size());
        FUZZ_CHECK(std::string(output.bytes, outputSize) == expected);
        FUZZ_CHECK(!MultiStringContains(output.bytes, outputSize, nameBlock.bytes));
    } else {
        FUZZ_CHECK(outputSize == 0);
    }
}

void CheckAppend(const std::string& list, const std::string& name, uint8_t settings) {
    fuzz::Block input = fuzz::Unterminated(list);
    fuzz::Block nameBlock = fuzz::Terminated(name);
    std::string cleanName = nameBlock.bytes;
    size_t room = AppendCapacity(list.size(), nameBlock.bytes);
    fuzz::Block output(ChosenCapacity(room, settings));
    size_t outputSize = 99;
    bool present = false;
    bool ok = AppendToMultiString(input.bytes, input.size, nameBlock.bytes, output.bytes,
                                  output.size, &outputSize, &present);

    std::vector<std::string> strings = StringsOf(list);
    bool holds = false;
    for (const std::string& text : strings) {
        holds = holds || SameName(text, cleanName);
    }
    if (!holds) {
        strings.push_back(cleanName);
    }
    std::string expected = Joined(strings);
    FUZZ_CHECK(present == holds);
    if (cleanName.empty()) {
        FUZZ_CHECK(!ok && outputSize == 0);
        return;
    }
    FUZZ_CHECK(expected.size() <= room);
    FUZZ_CHECK(ok == (expected.size() <= output.size));
    if (ok) {
        FUZZ_CHECK(std::string(output.bytes, outputSize) == expected);
        FUZZ_CHECK(MultiStringContains(output.bytes, outputSize, nameBlock.bytes));
    } else {
        FUZZ_CHECK(outputSize == 0);
    }
}

void CheckPrepend(const std::string& list, const std::string& name, uint8_t settings) {
    fuzz::Block input = fuzz::Unterminated(list);
    fuzz::Block nameBlock = fuzz::Terminated(name);
    std::string cleanName = nameBlock.bytes;
    size_t room = cleanName.size() + 1 + list.size();
    fuzz::Block output(ChosenCapacity(room, settings));
    std::string untouched = output.Str();
    size_t outputSize = 99;
    bool present = true;
    bool ok = PrependToMultiString(input.bytes, input.size, nameBlock.bytes, output.bytes,
                                   output.size, &outputSize, &present);

    bool holds = false;
    for (const std::string& text : StringsOf(list)) {
        holds = holds || SameName(text, cleanName);
    }
    if (cleanName.empty()) {
        FUZZ_CHECK(!ok && outputSize == 0 && !present);
        return;
    }
    FUZZ_CHECK(present == holds);
    if (holds) {
        // Nothing to do, so nothing written.
        FUZZ_CHECK(ok && outputSize == 0);
        FUZZ_CHECK(output.Str() == untouched);
        return;
    }
    // The list's own bytes follow the name unchanged, whatever they are.
    FUZZ_CHECK(ok == (room <= output.size));
    if (ok) {
        FUZZ_CHECK(std::string(output.bytes, outputSize) == cleanName + '\0' + list);
    } else {
        FUZZ_CHECK(outputSize == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    uint8_t settings = input.Byte();
    std::string name = input.Field();
    std::string list = input.Rest();

    fuzz::Block listBlock = fuzz::Unterminated(list);
    fuzz::Block nameBlock = fuzz::Terminated(name);
    bool contains = MultiStringContains(listBlock.bytes, listBlock.size, nameBlock.bytes);
    bool holds = false;
    for (const std::string& text : StringsOf(list)) {
        holds = holds || SameName(text, nameBlock.bytes);
    }
    FUZZ_CHECK(contains == holds);

    CheckRemove(list, name, settings);
    CheckAppend(list, name, settings);
    CheckPrepend(list, name, settings);
    return 0;
}
