// The window tests' main: the QApplication lives in a GoogleTest environment, so that listing
// the tests needs no display, and every window test finds it made.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    QtEnvironment(int& argc, char** argv) : argc_(argc), argv_(argv) {}
    void SetUp() override {
        app_ = std::make_unique<QApplication>(argc_, argv_);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

  private:
    int& argc_;
    char** argv_;
    std::unique_ptr<QApplication> app_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new QtEnvironment(argc, argv));
    return RUN_ALL_TESTS();
}
