#include "ui/qt/ListTableView.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "ui/qt/QtText.h"

namespace ui::qt {

class ListTableModel : public QAbstractTableModel {
 public:
  explicit ListTableModel(ui::ListTable& table, QObject* parent)
      : QAbstractTableModel(parent), table_(table) {}

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : columns_; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return toQt(table_.cell(index.row(), index.column()));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    const auto& captions = table_.columns();
    return section < static_cast<int>(captions.size()) ? toQt(captions[static_cast<std::size_t>(section)])
                                                       : QVariant();
  }

  // Catches up with the table: appended rows are inserted, anything else
  // starts afresh. True when rows were added.
  bool follow() {
    const int columns = static_cast<int>(table_.columns().size());
    const int rows = table_.rowCount();
    if (columns != columns_ || rows < rows_) {
      beginResetModel();
      columns_ = columns;
      rows_ = rows;
      endResetModel();
      return rows > 0;
    }
    if (rows == rows_) return false;
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
    return true;
  }

 private:
  ui::ListTable& table_;
  int rows_ = 0;
  int columns_ = 0;
};

ListTableView::ListTableView(ui::ListTable& table, QWidget* parent)
    : QTableView(parent), table_(table), model_(new ListTableModel(table, this)) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Rows of one height: the header need not measure a hundred thousand.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setStretchLastSection(true);
  horizontalHeader()->setResizeContentsPrecision(20);
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionToModel(); });
}

void ListTableView::sync() {
  const bool wasEmpty = model_->rowCount() == 0;
  if (!model_->follow()) return;
  // The columns fit the first rows; measuring them all would cost a long series.
  if (wasEmpty) resizeColumnsToContents();
  scrollToBottom();
}

void ListTableView::selectionToModel() {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  table_.setSelection(std::move(rows));
}

}  // namespace ui::qt
