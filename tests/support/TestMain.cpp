// Runs the tests inside a QApplication, as the program runs its window.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    // Listing the tests needs no display; CTest lists them at build time.
    const bool listingOnly = ::testing::GTEST_FLAG(list_tests);
    std::unique_ptr<QApplication> application;
    if (!listingOnly) {
        application = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationName("Chronavel");
    }
    return RUN_ALL_TESTS();
}
