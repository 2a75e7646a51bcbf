// The main of the Qt widget tests: one QApplication for the whole run, made by a GoogleTest
// environment so that merely listing the tests (as test discovery does) needs no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtApplicationEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // Run directly from a shell, the tests still need no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

  private:
    // QApplication keeps referring to its arguments while it lives.
    int argc_ = 1;
    char name_[16] = "test_ui_qt";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);
    return RUN_ALL_TESTS();
}
