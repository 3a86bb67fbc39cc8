// The text of a registry string value that may lack its NUL, and the search in
// it. Input: the part searched for, then the value's bytes (the rest).
#include <string>

#include "driverstack/value_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input = {data, size};
    std::string part = input.Field();
    std::string value = input.Rest();

    // The value exactly as large as the registry says, with no NUL after it.
    fuzz::Block valueBlock = fuzz::Unterminated(value);
    fuzz::Block partBlock = fuzz::Terminated(part);
    std::string text = fuzz::CString(value);  // ends at the first NUL or the end

    FUZZ_CHECK(ValueTextLength(valueBlock.bytes, valueBlock.size) == text.size());
    bool found = ValueTextContains(valueBlock.bytes, valueBlock.size, partBlock.bytes);
    FUZZ_CHECK(found == (text.find(partBlock.bytes) != std::string::npos));
    return 0;
}
