// With a Polish locale the serial port's texts come from the Polish catalog
// built beside the program (and so does the conversion error of a bad
// number), and Qt's standard dialogs speak Polish.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <clocale>
#include <string>

#include "platform/Cp1250.h"
#include "platform/ProgramDir.h"
#include "platform/WholeNumbers.h"
#include "serial/ComSetupForm.h"
#include "serial/EComPort.h"
#include "ui/qt/Application.h"

namespace {

TEST(PolishTexts, SerialMessagesSetupDialogAndStandardButtons) {
  const std::string locale = std::setlocale(LC_MESSAGES, nullptr);
  ASSERT_EQ(locale.rfind("pl_PL", 0), 0u) << "the pl_PL.UTF-8 locale is missing: run scripts/deps.sh";

  // The build folder's catalogs, found as the program finds them.
  const auto catalogs = platform::catalogDirectory(platform::executableDirectory());
  ASSERT_FALSE(catalogs.empty());
  serial::SetupComErrorMessages(catalogs.string());
  EXPECT_EQ(std::string(serial::EComPort(serial::CError_OpenFailed, 16).what()),
            platform::pl("Nie można otworzyć portu szeregowego (kod błędu systemu: 16)"));
  EXPECT_EQ(serial::ComErrorMessage(serial::CError_ConnChangeProp),
            platform::pl("Nie można zmienić ustawienia przy otwartym porcie"));
  // The conversion error of a bad escape names the same characters in Polish.
  EXPECT_EQ(std::string(platform::ConversionError::invalidInteger("$G1").what()),
            platform::pl("'$G1' nie jest poprawną liczbą całkowitą"));
  serial::TComSetupFrm setup("", "");
  EXPECT_EQ(setup.caption(), platform::pl("Ustawienia RS-232"));
  EXPECT_EQ(setup.Label2.caption(), platform::pl("Prędkość:"));

  ASSERT_TRUE(ui::qt::loadPolishTranslations());
  QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("Anuluj"));
  QMessageBox question;
  question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(question.button(QMessageBox::Yes)->text(), QString::fromUtf8("&Tak"));
}

}  // namespace
