#include <QListView>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/qt/line_list_model.h"
#include "app/line_store.h"
#include "tests/app/qt/gui_test_support.h"

namespace {

TEST(LineStore, KeepsEveryLineInOrder) {
  LineStore store;
  std::string huge(LineStore::kBlockBytes + 10, 'x');
  std::string nearlyFull(LineStore::kBlockBytes - 3, 'y');
  for (const std::string& line : {std::string("first"), std::string(), nearlyFull, std::string("next"), huge,
                                  std::string("a\nb\0c", 5), std::string("last")})
    store.Append(line);
  ASSERT_EQ(7u, store.Size());
  EXPECT_EQ("first", store.At(0));
  EXPECT_EQ("", store.At(1));
  EXPECT_EQ(nearlyFull, store.At(2));
  EXPECT_EQ("next", store.At(3));  // did not fit: starts a new block
  EXPECT_EQ(huge, store.At(4));
  EXPECT_EQ(std::string("a\nb\0c", 5), store.At(5));
  EXPECT_EQ("last", store.At(6));
  store.Clear();
  EXPECT_EQ(0u, store.Size());
  EXPECT_EQ(0u, store.MemoryUsed());
  store.Append("again");
  EXPECT_EQ("again", store.At(0));
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// A million lines, shown in a list view, cost at most 1.5 times their bytes
// plus 16 MB, and each batch reaches the view as one insertion.
TEST(LineListModel, AMillionLinesStayWithinTheirBudget) {
  const size_t kLines = 1000000;
  std::string line = "  1   A1   0.123   0.456   Sample 0001  ";
  {
    LineListModel model;
    QListView view;
    view.setUniformItemSizes(true);
    view.setModel(&model);
    view.resize(400, 300);
    view.show();
    model.AddLine(line);
    model.Publish();
    QApplication::processEvents();  // fonts and the view's first paint are not the lines' cost
    model.Clear();
    [[maybe_unused]] long before = ResidentBytes();
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (size_t i = 0; i < kLines; ++i) model.AddLine(line);
    EXPECT_EQ(0, model.rowCount());  // not shown before the batch
    ASSERT_EVENTUALLY(model.rowCount() == static_cast<int>(kLines));
    EXPECT_EQ(1, inserted.count());
    view.scrollToBottom();
    QApplication::processEvents();
    size_t bytes = kLines * line.size();
    size_t budget = bytes * 3 / 2 + (16u << 20);
    EXPECT_LE(model.Store().MemoryUsed(), budget);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    long grown = ResidentBytes() - before;
    EXPECT_LE(grown, static_cast<long>(budget)) << "resident growth " << grown;
    std::printf("1,000,000 lines of %zu bytes: store %zu bytes, resident growth %ld bytes, budget %zu\n",
                line.size(), model.Store().MemoryUsed(), grown, budget);
#endif
    EXPECT_EQ(QString::fromStdString(line), model.data(model.index(999999), Qt::DisplayRole).toString());
  }
}

TEST(LineListModel, BatchesSelectTheNewestLineAndClearEmptiesAll) {
  LineListModel model;
  QSignalSpy shown(&model, &LineListModel::LinesShown);
  model.AddLine("A");
  model.AddLine(std::string("\xB0\x09X"));
  model.Publish();
  ASSERT_EQ(1, shown.count());
  EXPECT_EQ(1, shown[0][0].toInt());
  // Bytes are shown one character each, never decoded.
  EXPECT_EQ(QString::fromLatin1("\xB0\x09X"), model.data(model.index(1), Qt::DisplayRole).toString());
  // A line the view cuts with "..." is whole in its tooltip.
  const std::string longLine = "  1   A1   0.123   " + std::string(400, 'S');
  model.AddLine(longLine);
  model.Publish();
  EXPECT_EQ(QString::fromStdString(longLine), model.data(model.index(2), Qt::ToolTipRole).toString());
  model.AddLine("C");
  model.Clear();
  EXPECT_EQ(0, model.rowCount());
  EXPECT_EQ(0u, model.Store().Size());
  QTest::qWait(LineListModel::kBatchMilliseconds * 2);
  EXPECT_EQ(0, model.rowCount());  // the cleared line does not come back
}

}  // namespace
