// main() of the test programs that run under Wine: the library's process-wide
// state is started around the tests, as the DLL's attach and detach would.
#include <gtest/gtest.h>

#include "core/library.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    LibraryProcessAttach();
    int result = RUN_ALL_TESTS();
    LibraryProcessDetach();
    return result;
}
