#pragma once
// For the Qt view's tests of modal dialogs: acts on the dialog of a form as
// soon as the nested loop shows it. Qt only: include it from view tests.
#include <QApplication>
#include <QString>
#include <QTimer>
#include <functional>

#include "ui/qt/FormDialog.h"

namespace testing_support {

// Acts on the modal dialog named `name` as soon as the nested loop shows it;
// closes it if the act left it open, so a failed assertion cannot hang.
inline void whenShown(const QString& name, std::function<void(ui::qt::FormDialog*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, name, act] {
    auto* d = qobject_cast<ui::qt::FormDialog*>(QApplication::activeModalWidget());
    if (!d || !d->isVisible() || d->objectName() != name) return;
    timer->stop();
    timer->deleteLater();
    act(d);
    if (d->isVisible()) d->close();
  });
  timer->start();
}

}  // namespace testing_support
