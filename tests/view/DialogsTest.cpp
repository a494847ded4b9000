// The dialogs service on Qt: filters, message boxes, file dialogs, modal
// forms and the general error report.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <stdexcept>

#include "platform/Cp1250.h"
#include "platform/qt/QtEventLoop.h"
#include "ui/Form.h"
#include "ui/qt/FileFilter.h"
#include "ui/qt/FormDialog.h"
#include "ui/qt/QtDialogs.h"

namespace view_test {
namespace {

using platform::pl;

// Acts on the next modal widget as soon as the nested loop shows it.
template <typename W>
void whenShown(std::function<void(W*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget()); w && w->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act(w);
    }
  });
  timer->start();
}

void clickButton(QMessageBox* box, QMessageBox::StandardButton which) {
  box->button(which)->click();
}

TEST(FileFilterTest, SystemFiltersBecomeQtFilters) {
  EXPECT_EQ(ui::qt::qtFileFilter("pliki tekstowe|*.txt|wszystkie pliki|*.*"),
            "pliki tekstowe (*.txt);;wszystkie pliki (*.*)");
  EXPECT_EQ(ui::qt::qtFileFilter(pl("Zamówienia|*.xml;*.XML")),
            QString::fromUtf8("Zamówienia (*.xml *.XML)"));
  EXPECT_EQ(ui::qt::qtFileFilter("Teksty (*.txt)|*.txt"), "Teksty (*.txt)");
  EXPECT_EQ(ui::qt::qtFileFilter("wszystko"), "wszystko (*)");
  EXPECT_EQ(ui::qt::qtFileFilter("a|*.a|"), "a (*.a)");
  EXPECT_EQ(ui::qt::qtFileFilter(""), "");
}

TEST(QtDialogsTest, MessageBoxShowsTextIconAndButtonsAndReturnsTheAnswer) {
  ui::qt::QtDialogs dialogs;
  whenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->text(), QString::fromUtf8("Brak komunikacji z wagą !"));
    EXPECT_EQ(box->windowTitle(), "RS-232");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);
    clickButton(box, QMessageBox::Cancel);
  });
  EXPECT_EQ(dialogs.messageBox(pl("Brak komunikacji z wagą !"), "RS-232", ui::MessageIcon::Warning,
                               ui::MessageButton::Ok | ui::MessageButton::Cancel),
            ui::ModalResult::Cancel);

  whenShown<QMessageBox>([](QMessageBox* box) { clickButton(box, QMessageBox::No); });
  EXPECT_EQ(
      dialogs.messageBox("?", "", ui::MessageIcon::Question, ui::MessageButton::Yes | ui::MessageButton::No),
      ui::ModalResult::No);
}

TEST(QtDialogsTest, FileDialogsReturnTheChosenPathAndSaveAsksBeforeReplacing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString existing = dir.filePath("pomiary.txt");
  {
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  ui::qt::QtDialogs dialogs;
  ui::FileDialogRequest request{
      "Otwórz", "pliki tekstowe|*.txt|wszystkie pliki|*.*", dir.path().toStdString(), "", true, ""};

  whenShown<QFileDialog>([](QFileDialog* d) {
    EXPECT_EQ(d->nameFilters(), (QStringList{"pliki tekstowe (*.txt)", "wszystkie pliki (*.*)"}));
    d->selectFile("pomiary.txt");
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(dialogs.openFileName(request), existing.toStdString());

  whenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_EQ(dialogs.openFileName(request), std::nullopt);

  // Replacing: "No" returns to the dialog, "Yes" takes the file.
  int questions = 0;
  std::function<void(QFileDialog*)> chooseExisting = [&](QFileDialog* d) {
    d->selectFile("pomiary.txt");
    whenShown<QMessageBox>([&](QMessageBox* box) {
      ++questions;
      EXPECT_TRUE(box->text().startsWith("pomiary.txt"));
      if (questions == 1) {
        whenShown<QFileDialog>(chooseExisting);
        clickButton(box, QMessageBox::No);
      } else {
        clickButton(box, QMessageBox::Yes);
      }
    });
    static_cast<QDialog*>(d)->accept();
  };
  whenShown<QFileDialog>(chooseExisting);
  EXPECT_EQ(dialogs.saveFileName(request), existing.toStdString());
  EXPECT_EQ(questions, 2);

  // Without the question, the existing file is taken at once.
  request.confirmOverwrite = false;
  whenShown<QFileDialog>([](QFileDialog* d) {
    d->selectFile("pomiary.txt");
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(dialogs.saveFileName(request), existing.toStdString());
}

class SmallDialog : public ui::Form {
 public:
  SmallDialog() : ui::Form("SmallDialog") {
    setCaption(pl("Ustawienia połączenia"));
    setBounds(0, 0, 300, 200);
    ok.setCaption("OK");
    ok.setBounds(10, 150, 75, 25);
    host.setBounds(10, 10, 200, 22);
    addControl(host);
    addControl(ok);
    ok.onClick = [this] {
      if (failOk) throw std::runtime_error("zly adres");
      setModalResult(ui::ModalResult::Ok);
      // The dialog closes after the handler, which still runs to its end.
      log.push_back("ok end");
    };
    onShow = [this] {
      log.push_back("show");
      host.setText("192.168.1.1");
    };
    onClose = [this] { log.push_back("close"); };
  }
  ui::Edit host{"host"};
  ui::Button ok{"ok"};
  bool failOk = false;
  std::vector<std::string> log;
};

TEST(QtDialogsTest, AModalFormClosesWithTheResultItSetsOrCancelByTheCloseBox) {
  platform::QtEventLoop loop;
  ui::qt::QtDialogs dialogs;
  std::vector<std::string> errors;
  ui::qt::installErrorReport(loop, dialogs);
  loop.setErrorReport([&](const std::string& m) { errors.push_back(m); });
  SmallDialog form;

  whenShown<ui::qt::FormDialog>([&](ui::qt::FormDialog* d) {
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Ustawienia połączenia"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(d->widgetFor(form.host))->text(), "192.168.1.1");
    // Escape does not close it; an error in a handler leaves it open.
    QTest::keyClick(d, Qt::Key_Escape);
    form.failOk = true;
    QTest::mouseClick(d->widgetFor(form.ok), Qt::LeftButton);
    EXPECT_TRUE(d->isVisible());
    form.failOk = false;
    QTest::mouseClick(d->widgetFor(form.ok), Qt::LeftButton);
  });
  EXPECT_EQ(dialogs.showModal(form), ui::ModalResult::Ok);
  EXPECT_EQ(form.log, (std::vector<std::string>{"show", "ok end", "close"}));
  EXPECT_EQ(errors, std::vector<std::string>{"zly adres"});

  // Shown again: the result starts afresh; the close box gives Cancel.
  form.log.clear();
  whenShown<ui::qt::FormDialog>([](ui::qt::FormDialog* d) { d->close(); });
  EXPECT_EQ(dialogs.showModal(form), ui::ModalResult::Cancel);
  EXPECT_EQ(form.log, (std::vector<std::string>{"show", "close"}));
  // The form no longer drives a widget.
  form.host.setText("x");
  form.setCaption("y");
}

TEST(QtDialogsTest, ErrorsArrivingWhileOneIsShownWaitTheirTurn) {
  ui::qt::QtDialogs dialogs;
  std::vector<QString> shown;
  std::function<void(QMessageBox*)> answer = [&](QMessageBox* box) {
    shown.push_back(box->text());
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    if (shown.size() == 1) {
      // Two more errors (one repeated) while the first is on screen.
      dialogs.showError("drugi");
      dialogs.showError("drugi");
      dialogs.showError("trzeci");
    }
    if (shown.size() < 4) whenShown<QMessageBox>(answer);
    box->button(QMessageBox::Ok)->click();
  };
  whenShown<QMessageBox>(answer);
  dialogs.showError(pl("pierwszy błąd"));
  // A library's message (a path in UTF-8) shows as it is.
  dialogs.showError("/home/operator/pomiary-Ż.txt: No such file");
  EXPECT_EQ(shown, (std::vector<QString>{QString::fromUtf8("pierwszy błąd"), "drugi", "trzeci",
                                         QString::fromUtf8("/home/operator/pomiary-Ż.txt: No such file")}));
}

}  // namespace
}  // namespace view_test
