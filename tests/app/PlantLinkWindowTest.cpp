// The plant link in the window, against a real broker (mosquitto on
// 127.0.0.1): set up from the "Wyniki" window's dialog, readings taken in the
// window reach the broker, the window tells the link's state as the broker
// goes and comes back, saved settings restart the link, and the window's end
// says "offline".
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "readings/TResultsForm.h"
#include "support/MqttBroker.h"
#include "support/ProgramValues.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

// The broker of the tests is Linux's.
#ifndef _WIN32
namespace {

using namespace std::chrono_literals;
using platform::pl;
using testing_support::MqttBroker;
using testing_support::MqttSubscriber;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The distinct reading ids that arrived on topic.
std::set<std::int64_t> idsOn(const std::vector<MqttSubscriber::Message>& messages, const std::string& topic) {
  std::set<std::int64_t> ids;
  for (const std::string& p : MqttSubscriber::payloadsOn(messages, topic))
    ids.insert(std::stoll(p.substr(p.find("\"id\":") + 5)));
  return ids;
}

struct PlantLinkWindow : ::testing::Test {
  MqttBroker broker;
  MqttSubscriber subscriber{broker.port(), "plant/#"};
  testing_support::TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  std::unique_ptr<app::TForm1> form;
  std::unique_ptr<readings::TResultsForm> results;

  PlantLinkWindow() {
    testing_support::ResetProgramValues();
    form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    // As main sets the window up.
    results = std::make_unique<readings::TResultsForm>(form->Readings, loop, dialogs);
    results->attach(form->ReadingsJournal.get(), form->Settings.get(), form->ReadingsPlantLink.get());
  }

  // The operator fills the dialog in and saves.
  void configure(const std::string& station) {
    dialogs.onModal = [this, station](ui::Form& shown) {
      auto& d = dynamic_cast<readings::TPlantLinkForm&>(shown);
      d.cbEnabled.setChecked(true);
      d.EditHost.setText("127.0.0.1");
      d.EditPort.setText(std::to_string(broker.port()));
      d.EditStation.setText(station);
      d.EditPrefix.setText("plant");
      d.btnSave.click();
      return ui::ModalResult::Cancel;
    };
    results->btnPlantLink.click();
  }
  // A counted reply in the window's receive path: a reading.
  void reply(const std::string& row) {
    form->Bytes.awaitReply();
    form->Readings.sent();
    const std::string bytes = row + "\r\n";
    form->ProcessReceived(bytes, bytes.size());
  }
  bool stateShows(const std::string& part) {
    return loop.runUntil([&] { return contains(results->LabelPlantLink.caption(), pl(part.c_str())); }, 20s);
  }
  bool arrived(const std::string& topic, std::size_t n) {
    return subscriber.waitFor([&](auto& m) { return idsOn(m, topic).size() >= n; });
  }
};

TEST_F(PlantLinkWindow, ReadingsReachTheBrokerAndTheStateFollowsIt) {
  // No broker set up: the link is off, and says so.
  EXPECT_TRUE(results->btnPlantLink.visible());
  EXPECT_EQ(results->LabelPlantLink.caption(), readings::linkStateText(readings::LinkState::Off));

  configure("st1");
  EXPECT_EQ(dialogs.modalForms, std::vector<std::string>{"PlantLinkForm"});
  // Kept in terso.ini, for its owner's eyes only (it may hold a password).
  const std::filesystem::path ini = dir / "terso.ini";
  EXPECT_TRUE(contains(testing_support::TempDir::read(ini), "Host=127.0.0.1"));
  EXPECT_EQ(std::filesystem::status(ini).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  ASSERT_TRUE(stateShows("Połączono z brokerem MQTT"));

  reply("S S     100.05 g");
  reply("S S     100.10 g");
  ASSERT_TRUE(arrived("plant/st1/readings", 2));
  EXPECT_TRUE(contains(subscriber.payloads("plant/st1/readings")[0], "\"value\":100.05"));
  ASSERT_TRUE(loop.runUntil([&] { return form->ReadingsJournal->unpublishedCount() == 0; }, 20s));

  // The broker goes: the window says so and counts what waits.
  broker.kill();
  ASSERT_TRUE(stateShows("Brak połączenia z brokerem MQTT"));
  reply("S S     100.15 g");
  reply("S S     100.20 g");
  reply("S S     100.25 g");
  ASSERT_TRUE(stateShows("3 odczyty czekają na wysłanie"));
  // It comes back: everything goes out, nothing waits.
  broker.start();
  ASSERT_TRUE(loop.runUntil(
      [&] { return results->LabelPlantLink.caption() == pl("Połączono z brokerem MQTT"); }, 20s))
      << results->LabelPlantLink.caption();
  ASSERT_TRUE(arrived("plant/st1/readings", 5));
  EXPECT_EQ(idsOn(subscriber.messages(), "plant/st1/readings"), (std::set<std::int64_t>{1, 2, 3, 4, 5}));

  // New settings saved in the dialog restart the link with them: the old
  // station says goodbye, the new one takes the next readings.
  configure("st2");
  ASSERT_TRUE(subscriber.waitFor([](auto& m) {
    const auto old = MqttSubscriber::payloadsOn(m, "plant/st1/status");
    const auto now = MqttSubscriber::payloadsOn(m, "plant/st2/status");
    return !old.empty() && old.back() == "offline" && !now.empty() && now.back() == "online";
  }));
  reply("S S     100.30 g");
  ASSERT_TRUE(arrived("plant/st2/readings", 1));
  EXPECT_EQ(idsOn(subscriber.messages(), "plant/st2/readings"), std::set<std::int64_t>{6});

  // The program's end says "offline".
  results.reset();
  form.reset();
  EXPECT_TRUE(subscriber.waitFor([](auto& m) {
    const auto now = MqttSubscriber::payloadsOn(m, "plant/st2/status");
    return !now.empty() && now.back() == "offline";
  }));
}

}  // namespace
#endif
