#include "support/qtenvironment.h"

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new ambrel::test::TQtEnvironment<QApplication>);
    return RUN_ALL_TESTS();
}
