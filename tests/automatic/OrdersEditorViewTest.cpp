// The real orders editor window on the offscreen platform: the grid shows the
// list under its titles, a cell typed in through its editor reaches the list
// keystroke by keystroke, the row buttons redraw the table, and "Zapisz"
// writes the file and closes the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "EditorFixture.h"
#include "platform/Cp1250.h"
#include "ui/qt/FormDialog.h"
#include "ui/qt/QtDialogs.h"

namespace automatic_test {
namespace {

// Acts on the editor's dialog as soon as the nested loop shows it, then
// closes it if the act left it open.
void whenShown(std::function<void(ui::qt::FormDialog*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* d = qobject_cast<ui::qt::FormDialog*>(QApplication::activeModalWidget()); d && d->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(d);
      // A failed assertion must not leave the window waiting for ever.
      if (d->isVisible()) d->close();
    }
  });
  timer->start();
}

using OrdersEditorViewTest = EditorFixture;

TEST_F(OrdersEditorViewTest, ACellEditedInTheWindowIsSavedByZapisz) {
  write("orders.xml",
        "<Rozkazy><Rozkaz><Rozkaz>A</Rozkaz><Czas>1</Czas></Rozkaz>"
        "<Rozkaz><Rozkaz>B</Rozkaz><Czas>2</Czas></Rozkaz></Rozkazy>");
  form1.ConfigOptions.OrdersFileName = path("orders.xml");
  std::vector<int> blink;
  form2.GetCaretBlinkTime = [] { return 265; };
  form2.SetCaretBlinkTime = [&](int ms) { blink.push_back(ms); };
  form2.FormCreate();
  ui::qt::QtDialogs qtDialogs(loop);

  whenShown([&](ui::qt::FormDialog* d) {
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    auto* table = qobject_cast<QTableView*>(d->widgetFor(form2.StringGrid1));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(d->windowTitle(), "Ustawienia trybu automatycznego");
    auto* fileLabel = qobject_cast<QLabel*>(d->widgetFor(form2.LabelOrdersFileName));
    ASSERT_NE(fileLabel, nullptr);
    EXPECT_EQ(fileLabel->text(), QString::fromStdString(path("orders.xml")));
    EXPECT_NE(d->widgetFor(form2.Image1), nullptr);
    QAbstractItemModel* model = table->model();
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(model->columnCount(), 7);
    EXPECT_EQ(model->headerData(6, Qt::Horizontal).toString(), QString::fromUtf8("Prędk./Port"));
    EXPECT_EQ(model->index(1, 1).data().toString(), "B");
    EXPECT_EQ(table->columnWidth(1), 172);
    EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);

    // The operator resizes a column: the grid follows.
    table->horizontalHeader()->resizeSection(1, 200);
    EXPECT_EQ(form2.StringGrid1.colWidth(1), 200);

    // A cell chosen opens its editor; each keystroke reaches the list.
    const QModelIndex cell = model->index(1, 1);
    table->setFocus();
    table->setCurrentIndex(cell);
    EXPECT_EQ(form2.StringGrid1.row(), 2);
    EXPECT_EQ(form2.StringGrid1.col(), 1);
    auto* editor = qobject_cast<QLineEdit*>(table->indexWidget(cell));
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QString::fromUtf8("Waga"));
    EXPECT_EQ(form2.StringGrid1.cell(1, 2), "Waga");
    // A Polish letter, as a keyboard layout types it.
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8("ż"));
    QApplication::sendEvent(editor, &letter);
    EXPECT_EQ(form2.StringGrid1.cell(1, 2), platform::pl("Wagaż"));
    EXPECT_EQ(editor->text(), QString::fromUtf8("Wagaż"));
    EXPECT_EQ(blink.front(), 500);

    // "Wstaw" below the current row: the table grows with the list.
    QTest::mouseClick(d->widgetFor(form2.BitBtnAdd), Qt::LeftButton);
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(2, 1).data().toString(), "SI");
    EXPECT_EQ(model->index(1, 1).data().toString(), QString::fromUtf8("Wagaż"));
    // The grid lost the focus to the button: the blink time came back.
    EXPECT_EQ(blink.back(), 265);

    QTest::mouseClick(d->widgetFor(form2.Button1), Qt::LeftButton);
  });
  EXPECT_EQ(qtDialogs.showModal(form2), ui::ModalResult::Ok);

  const std::string saved = read("orders.xml");
  EXPECT_NE(saved.find("<Rozkaz>Wagaż</Rozkaz>\n    <Czas>2</Czas>"), std::string::npos) << saved;
  EXPECT_NE(saved.find("<Rozkaz>SI</Rozkaz>\n    <Czas>5</Czas>"), std::string::npos) << saved;
  EXPECT_EQ(rows().size(), 3u);
  EXPECT_EQ(rows()[1][1], platform::pl("Wagaż"));
}

}  // namespace
}  // namespace automatic_test
