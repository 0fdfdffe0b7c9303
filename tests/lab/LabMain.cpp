#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

// These tests send real broadcasts: outside the lab's private namespaces they
// would reach the machine's network, so they refuse to run there.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("VINDREL_LAB")) {
        std::fprintf(stderr,
                     "test_lab_discovery: run me inside the lab: scripts/netlab.sh run -- %s (or ctest -L lab)\n",
                     argv[0]);
        return 1;
    }
    return RUN_ALL_TESTS();
}
