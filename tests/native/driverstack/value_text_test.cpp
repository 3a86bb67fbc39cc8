#include "driverstack/value_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace std::string_literals;

TEST(ValueText, EndsAtTheFirstNulOrAtTheSizeAndSearchesCaseSensitively) {
    struct Case {
        const char* what;
        std::string value;
        const char* part;
        bool contains;
    } cases[] = {
        {"equal, terminated", "Cam 3000\0"s, "Cam 3000", true},
        {"equal, stored without NUL", "Cam 3000"s, "Cam 3000", true},
        {"prefix before", "Marvanto Cam 3000"s, "Cam 3000", true},
        {"suffix after", "Cam 3000 (USB)\0"s, "Cam 3000", true},
        {"case differs", "CAM 3000\0"s, "Cam 3000", false},
        {"hidden after the NUL", "Cam\0 3000"s, "Cam 3000", false},
        {"shorter than the part", "Cam 300"s, "Cam 3000", false},
        {"empty part", "x"s, "", true},
        {"empty value", ""s, "x", false},
    };
    for (const Case& c : cases) {
        // Exactly the value's bytes on the heap: a read past them is caught.
        std::unique_ptr<char[]> block(new char[c.value.size()]);
        c.value.copy(block.get(), c.value.size());
        EXPECT_EQ(c.contains, ValueTextContains(block.get(), c.value.size(), c.part)) << c.what;
    }
    EXPECT_EQ(3u, ValueTextLength("Cam\0 3000", 9));
    EXPECT_EQ(4u, ValueTextLength("Cams", 4));
    EXPECT_EQ(0u, ValueTextLength(nullptr, 4));
}

}  // namespace
