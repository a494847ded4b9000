#pragma once
// The read-only table on Qt: a table view whose model asks the ListTable for
// the cells it paints, so a long series is never copied. New rows are
// inserted, not reset, and the newest row is scrolled into view; the
// operator's selection goes back to the model.
#include <QTableView>

#include "ui/ListTable.h"

namespace ui::qt {

class ListTableModel;

class ListTableView : public QTableView {
  Q_OBJECT

 public:
  ListTableView(ui::ListTable& table, QWidget* parent = nullptr);
  // Follows the model's rows (the binder calls it on every change).
  void sync();

 private:
  void selectionToModel();

  ui::ListTable& table_;
  ListTableModel* model_;
};

}  // namespace ui::qt
