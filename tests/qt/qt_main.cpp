// The test program: one QApplication for all tests, made only when tests run
// (listing them needs no display).
#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    // ctest sets the platform (xcb under xvfb-run, else offscreen); a direct
    // run without a choice gets offscreen here.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    App = std::make_unique<QApplication>(Argc, Argv);
  }
  void TearDown() override { App.reset(); }

private:
  int Argc = 1;
  char Name[9] = "qt_tests";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QApplication> App;
};

} // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TQtEnvironment);
  return RUN_ALL_TESTS();
}
