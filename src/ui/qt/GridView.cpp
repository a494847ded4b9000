#include "ui/qt/GridView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <functional>

#include "ui/qt/QtText.h"

namespace ui::qt {

// The grid's cells below its fixed rows; the last fixed row gives the column
// titles. Row and column counts are cached so that the view is told of a
// change before it sees it, as Qt's models must.
class GridModel : public QAbstractTableModel {
 public:
  explicit GridModel(ui::StringGrid& grid, QObject* parent) : QAbstractTableModel(parent), grid_(grid) {
    recount();
  }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : rows_;
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : cols_;
  }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return toQt(grid_.cell(index.column(), index.row() + fixed_));
  }

  bool setData(const QModelIndex& index, const QVariant& value, int role) override {
    if (!index.isValid() || role != Qt::EditRole) return false;
    const int row = index.row() + fixed_;
    const std::string text = fromQt(value.toString());
    // The editor's keystrokes have been applied as they came; a commit only
    // catches up with a text the model has not seen.
    if (grid_.cell(index.column(), row) != text) grid_.setCell(index.column(), row, text);
    return true;
  }

  Qt::ItemFlags flags(const QModelIndex& index) const override {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (grid_.editing()) f |= Qt::ItemIsEditable;
    return f;
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical || fixed_ == 0) return QString();
    return toQt(grid_.cell(section, fixed_ - 1));
  }

  void cellChanged(int col, int row) {
    if (row < fixed_) {
      if (row == fixed_ - 1) emit headerDataChanged(Qt::Horizontal, col, col);
      return;
    }
    const QModelIndex i = index(row - fixed_, col);
    if (i.isValid()) emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
  }

  // Brings the cached counts up to the grid, telling the view as it goes.
  void shapeChanged() {
    if (grid_.fixedRows() != fixed_) {
      beginResetModel();
      recount();
      endResetModel();
      return;
    }
    const int rows = grid_.rowCount() - fixed_, cols = grid_.colCount();
    if (rows > rows_) {
      beginInsertRows({}, rows_, rows - 1);
      rows_ = rows;
      endInsertRows();
    } else if (rows < rows_) {
      beginRemoveRows({}, rows, rows_ - 1);
      rows_ = rows;
      endRemoveRows();
    }
    if (cols > cols_) {
      beginInsertColumns({}, cols_, cols - 1);
      cols_ = cols;
      endInsertColumns();
    } else if (cols < cols_) {
      beginRemoveColumns({}, cols, cols_ - 1);
      cols_ = cols;
      endRemoveColumns();
    }
  }

  int fixedRows() const { return fixed_; }

 private:
  void recount() {
    fixed_ = grid_.fixedRows();
    rows_ = grid_.rowCount() - fixed_;
    cols_ = grid_.colCount();
  }

  ui::StringGrid& grid_;
  int fixed_ = 0, rows_ = 0, cols_ = 0;
};

namespace {

// A line editor that reports every keystroke and is never reset under the
// operator's cursor by its own echo from the model.
class GridDelegate : public QStyledItemDelegate {
 public:
  using Edited = std::function<void(int col, int row, const QString& text)>;
  GridDelegate(Edited edited, QObject* parent) : QStyledItemDelegate(parent), edited_(std::move(edited)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    const QPersistentModelIndex cell(index);
    connect(editor, &QLineEdit::textEdited, editor, [this, cell](const QString& text) {
      if (cell.isValid()) edited_(cell.column(), cell.row(), text);
    });
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* line = static_cast<QLineEdit*>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (line->text() == text) return;
    const int cursor = line->cursorPosition();
    const bool fresh = line->text().isEmpty();
    line->setText(text);
    if (!fresh) line->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    model->setData(index, static_cast<QLineEdit*>(editor)->text(), Qt::EditRole);
  }

 private:
  Edited edited_;
};

}  // namespace

GridView::GridView(ui::StringGrid& grid, platform::EventLoop& loop, QWidget* parent)
    : QTableView(parent), grid_(grid), loop_(loop), model_(new GridModel(grid, this)) {
  setModel(model_);
  setItemDelegate(
      new GridDelegate([this](int col, int row, const QString& text) { edited(col, row, text); }, this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setWordWrap(false);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setHighlightSections(false);
  // The row header is only a handle for resizing rows.
  verticalHeader()->setFixedWidth(10);
  verticalHeader()->setHighlightSections(false);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int col, int, int width) {
    if (!following_) grid_.setColWidth(col, width);
  });
  connect(qApp, &QApplication::focusChanged, this, &GridView::focusMoved);
  applyShape();
  showCurrent();
  grid_.setGridListener(this);
}

GridView::~GridView() {
  if (grid_.gridListener() == this) grid_.setGridListener(nullptr);
}

QModelIndex GridView::indexOf(int col, int row) const {
  return model_->index(row - model_->fixedRows(), col);
}

void GridView::gridCellChanged(int col, int row) {
  model_->cellChanged(col, row);
}

void GridView::gridShapeChanged() {
  following_ = true;
  model_->shapeChanged();
  following_ = false;
  applyShape();
  showCurrent();
}

void GridView::gridCurrentChanged() {
  showCurrent();
}

void GridView::gridFocusRequested() {
  setFocus(Qt::OtherFocusReason);
  openEditorIfAlwaysShown();
}

void GridView::applyShape() {
  following_ = true;
  for (int c = 0; c < grid_.colCount(); ++c)
    if (columnWidth(c) != grid_.colWidth(c)) setColumnWidth(c, grid_.colWidth(c));
  verticalHeader()->setDefaultSectionSize(grid_.defaultRowHeight());
  horizontalHeader()->setSectionResizeMode(grid_.colSizing() ? QHeaderView::Interactive : QHeaderView::Fixed);
  verticalHeader()->setSectionResizeMode(grid_.rowSizing() ? QHeaderView::Interactive : QHeaderView::Fixed);
  horizontalHeader()->setVisible(grid_.fixedRows() > 0);
  EditTriggers triggers = NoEditTriggers;
  if (grid_.editing()) {
    triggers = DoubleClicked | EditKeyPressed | AnyKeyPressed | SelectedClicked;
    if (grid_.alwaysShowEditor()) triggers |= CurrentChanged;
  }
  if (editTriggers() != triggers) setEditTriggers(triggers);
  following_ = false;
}

void GridView::showCurrent() {
  const QModelIndex target = indexOf(grid_.col(), grid_.row());
  if (!target.isValid() || target == currentIndex()) return;
  following_ = true;
  setCurrentIndex(target);
  following_ = false;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (!following_ && current.isValid())
    grid_.selectCell(current.column(), current.row() + model_->fixedRows());
}

void GridView::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  openEditorIfAlwaysShown();
}

void GridView::openEditorIfAlwaysShown() {
  if (!grid_.editing() || !grid_.alwaysShowEditor() || state() == EditingState) return;
  const QModelIndex current = currentIndex();
  if (current.isValid()) edit(current);
}

void GridView::edited(int col, int row, const QString& text) {
  const int gridRow = row + model_->fixedRows();
  const std::string bytes = fromQt(text);
  loop_.dispatch([this, col, gridRow, &bytes] { grid_.editCell(col, gridRow, bytes); });
}

bool GridView::holds(const QWidget* widget) const {
  return widget && (widget == this || isAncestorOf(widget));
}

void GridView::focusMoved(QWidget* old, QWidget* now) {
  // Leaving the grid for another control of its window; another window
  // taking the focus (a message box) is no exit.
  if (!holds(old) || holds(now) || !now || now->window() != window()) return;
  loop_.dispatch([this] { grid_.exit(); });
}

}  // namespace ui::qt
