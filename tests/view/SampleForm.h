#pragma once
// A small form with one control of each kind and a menu, and a record of the
// handlers that ran.
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "ui/Control.h"
#include "ui/Form.h"
#include "ui/Memo.h"
#include "ui/Menu.h"

namespace view_test {

class SampleForm : public ui::Form {
 public:
  SampleForm() : ui::Form("SampleForm") {
    setCaption(platform::pl("Próbne okno"));
    setBounds(0, 0, 500, 400);
    setKeyPreview(true);

    label.setCaption(platform::pl("Znaki do wysłania"));
    label.setBounds(10, 10, 150, 20);
    button.setCaption(platform::pl("Wyślij z&naki"));
    button.setBounds(10, 40, 100, 25);
    check.setCaption("CR/LF");
    check.setChecked(true);
    check.setBounds(120, 40, 100, 25);
    edit.setBounds(10, 70, 200, 22);
    edit.setFont({"MS Sans Serif", 8, false, ui::Color::Red});
    memo.setBounds(10, 100, 300, 150);
    memo.setFont({"Courier New", 8, true});
    radio.setCaption(platform::pl("Ciąg"));
    radio.setItems({"pierwszy", "drugi"});
    radio.setItemIndex(0);
    radio.setBounds(320, 10, 150, 80);
    group.setCaption("Grupa");
    group.setBounds(320, 100, 150, 80);
    inner.setCaption("W grupie");
    inner.setBounds(10, 20, 100, 20);
    bevel.setBounds(0, 3, 500, 2);
    stop.setCaption("Stop");
    stop.setBounds(220, 40, 80, 25);
    stop.setVisible(false);

    addControl(bevel);
    addControl(label);
    addControl(button);
    addControl(check);
    addControl(edit);
    addControl(memo);
    addControl(radio);
    addControl(group);
    addControl(inner, &group);
    addControl(stop);
    setInitialFocus(button);

    option.setChecked(true);
    file.add(option).add(measure).add(quit);
    addMenu(file);
    addMenu(connection);

    button.onClick = [this] { log.push_back("button"); };
    check.onClick = [this] { log.push_back(check.checked() ? "check on" : "check off"); };
    edit.onChange = [this] { log.push_back("change " + edit.text()); };
    edit.onKeyDown = [this](ui::Key k) { log.push_back("edit key " + std::to_string(k)); };
    radio.onClick = [this] { log.push_back("radio " + std::to_string(radio.itemIndex())); };
    onKeyDown = [this](ui::Key k) { log.push_back("form key " + std::to_string(k)); };
    onActivate = [this] { ++activations; };
    onClose = [this] { log.push_back("close"); };
    onResize = [this] { log.push_back("resize"); };
    option.onClick = [this] {
      log.push_back("option");
      if (toggleOption) option.setChecked(!option.checked());
    };
    measure.onClick = [this] { log.push_back("measure"); };
    quit.onClick = [this] { log.push_back("quit"); };
    connection.onClick = [this] { log.push_back("connection"); };
  }

  ui::Bevel bevel{"bevel"};
  ui::Label label{"label"};
  ui::Button button{"button"};
  ui::CheckBox check{"check"};
  ui::Edit edit{"edit"};
  ui::Memo memo{"memo"};
  ui::RadioGroup radio{"radio"};
  ui::GroupBox group{"group"};
  ui::Label inner{"inner"};
  ui::Button stop{"stop"};

  ui::MenuItem file{"file", "&Plik"};
  ui::MenuItem option{"option", "Zapisz ASCII"};
  ui::MenuItem measure{"measure", "Pomiar Automatyczny", "Ctrl+A"};
  ui::MenuItem quit{"quit", "Koniec", "Ctrl+X"};
  ui::MenuItem connection{"connection", platform::pl("P&ołączenie")};

  bool toggleOption = true;
  int activations = 0;
  std::vector<std::string> log;
};

}  // namespace view_test
