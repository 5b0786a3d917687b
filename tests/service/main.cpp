#include "support/qtenvironment.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ambrel::test::TQtEnvironment<>);
    return RUN_ALL_TESTS();
}
