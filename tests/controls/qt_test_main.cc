// Runs the tests inside a QApplication, as the windows need one; the
// platform plugin comes from QT_QPA_PLATFORM (offscreen under ctest).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
