#pragma once
// The string grid on Qt: a table view that reads the cells straight from the
// StringGrid model (no second copy), shows the fixed title row as its column
// headers, edits cells in place and lets the operator resize rows and
// columns. Each keystroke in a cell's editor reaches the model at once, as the
// grid's own editor does; the operator's handlers run through the event
// loop's dispatch.
#include <QTableView>

#include "platform/EventLoop.h"
#include "ui/StringGrid.h"

namespace ui::qt {

class GridModel;

class GridView : public QTableView, public ui::StringGridListener {
  Q_OBJECT

 public:
  // Listens to grid until destroyed; the grid must outlive the view.
  GridView(ui::StringGrid& grid, platform::EventLoop& loop, QWidget* parent = nullptr);
  ~GridView() override;

  void gridCellChanged(int col, int row) override;
  void gridShapeChanged() override;
  void gridCurrentChanged() override;
  void gridFocusRequested() override;

  // The view's index of a grid cell below the fixed rows.
  QModelIndex indexOf(int col, int row) const;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  // The operator typed in a cell's editor.
  void edited(int col, int row, const QString& text);
  void focusMoved(QWidget* old, QWidget* now);
  bool holds(const QWidget* widget) const;
  void applyShape();
  void showCurrent();
  void openEditorIfAlwaysShown();

  ui::StringGrid& grid_;
  platform::EventLoop& loop_;
  GridModel* model_;
  // Set while the view follows the model, so it does not report back.
  bool following_ = false;
};

}  // namespace ui::qt
