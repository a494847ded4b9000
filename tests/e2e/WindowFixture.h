#pragma once
// The program as the operator has it: the main window, the orders editor and
// the notification window wired as in the program's main, shown on the
// offscreen platform and served by the Qt loop. The program folder is a
// temporary one whose "Kestrel.ini" maps COM7 to the pretend scale's pty.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ScaleProtocol.h"
#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "platform/Cp1250.h"
#include "platform/Sound.h"
#include "platform/qt/QtEventLoop.h"
#include "support/DeviceMap.h"
#include "support/ProgramValues.h"
#include "support/ScriptedDialogs.h"
#include "support/ServeUntil.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

namespace e2e {

using namespace std::chrono_literals;
using Row = std::vector<std::string>;

using testing_support::serveUntil;

// The weight lines the pretend scale gives to successive "S" orders.
inline std::vector<std::string> nextWeights(int count) {
  scale::WeightDrift drift;
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    std::string line = scale::formatWeightLine(drift.advance());
    line.resize(line.size() - 2);  // without CR LF
    lines.push_back(line);
  }
  return lines;
}

// Lines of a file without their CR LF ends.
inline std::vector<std::string> fileLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// After a run against the pretend scale: every reply that came is in the
// capture file, whole and in order. A reply that comes after the next send is
// captured but not counted, so the counts bound the lines.
inline void expectCaptureHoldsTheReplies(const app::TForm1& form, const std::string& capture) {
  const std::vector<std::string> lines = fileLines(testing_support::TempDir::read(capture));
  EXPECT_GE(static_cast<int>(lines.size()), form.Bytes.replyCount());
  EXPECT_LE(static_cast<int>(lines.size()), form.SentCount);
  EXPECT_EQ(lines, nextWeights(static_cast<int>(lines.size())));
}

struct WindowFixture : ::testing::Test {
  WindowFixture() {
    testing_support::ResetProgramValues();
    platform::SetBeep([this] { ++beeps; });
    loop.setErrorReport([this](const std::string& m) { dialogs.showError(m); });
  }
  ~WindowFixture() override {
    remainingWindow.reset();
    window.reset();
    remaining.reset();
    form2.reset();
    form1.reset();
    platform::SetBeep(nullptr);
  }

  // Maps COM7 to the scale's device and builds the windows; an orders file
  // saved before is loaded by the editor as at the program's start.
  void start(const std::string& device, const std::string& ordersFile = {}) {
    // The operator's port is the scale's: the end of a run, which returns to
    // it, leaves the line open for a reply still on its way.
    testing_support::buildScaleWindows({loop, dialogs, dir.path(), [this] { ++terminated; }}, device, form1, form2,
                                       remaining);
    if (!ordersFile.empty()) form1->ConfigOptions.OrdersFileName = ordersFile;
    form2->FormCreate();
    remainingWindow = std::make_unique<ui::qt::FormWindow>(*remaining, loop);
    remaining->BringToFront = [this] { ++broughtToFront; };
    window = std::make_unique<ui::qt::FormWindow>(*form1, loop);
    window->show();
    QApplication::processEvents();
  }

  // Saves the orders as the operator would in the editor: a separate editor
  // writes the file, and config.xml names it for the next start.
  void saveOrders(const std::string& path, const std::vector<Row>& rows) {
    app::TForm1 scratch({loop, dialogs, dir.path(), [] {}});
    automatic::TForm2 editor(scratch);
    editor.FormCreate();
    ui::StringGrid& grid = editor.StringGrid1;
    grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
    editor.SaveXMLOrders(path);
    ASSERT_EQ(scratch.ConfigOptions.OrdersFileName, path);
  }

  template <typename Widget>
  Widget* widget(const ui::Control& control) {
    auto* w = qobject_cast<Widget*>(window->widgetFor(control));
    EXPECT_NE(w, nullptr) << control.name();
    return w;
  }

  void click(const ui::Control& button) {
    auto* b = widget<QAbstractButton>(button);
    ASSERT_NE(b, nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
  }

  // Types text into the send line (replacing what it held) and clicks the button.
  void typeAndSend(const std::string& text) {
    auto* edit = widget<QLineEdit>(form1->Edit1);
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromStdString(text));
    click(form1->btnWyslij);
  }

  // What the dialogs showed, for a failing test's message.
  std::string report() const {
    std::string text;
    for (const auto& m : dialogs.messages) text += "\nmessage: " + m.text;
    for (const auto& e : dialogs.errors) text += "\nerror: " + e;
    return text;
  }

  QString shown(const ui::Control& label) {
    auto* l = qobject_cast<QLabel*>(window->widgetFor(label));
    return l ? l->text() : QString();
  }

  // A message posted to the loop still runs, and the window still handles a
  // click: "clear the panes" empties them.
  void expectResponsive() {
    bool ran = false;
    loop.post([&] { ran = true; });
    EXPECT_TRUE(serveUntil([&] { return ran; }));
    click(form1->Button3);
    EXPECT_TRUE(serveUntil([&] { return form1->Memo1.text().empty() && form1->Memo2.text().empty(); }));
  }

  testing_support::TempDir dir;
  platform::QtEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  std::unique_ptr<app::TForm1> form1;
  std::unique_ptr<automatic::TForm2> form2;
  std::unique_ptr<automatic::TRemainingForm> remaining;
  std::unique_ptr<ui::qt::FormWindow> remainingWindow;
  std::unique_ptr<ui::qt::FormWindow> window;
  int beeps = 0;
  int terminated = 0;  // the program's end asked for
  int broughtToFront = 0;
};

}  // namespace e2e
