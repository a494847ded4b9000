// What the plant link publishes and how it is set up: the reading's JSON and
// topics, the --mqtt URL, the [PlantLink] section and its file's mode, the
// settings dialog.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Cp1250.h"
#include "platform/IniFile.h"
#include "readings/PlantLinkSettings.h"
#include "readings/PlantMessage.h"
#include "readings/TPlantLinkForm.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

using platform::pl;
using readings::PlantLinkSettings;

TEST(PlantMessage, ReadingAsOneJsonObject) {
  readings::StoredReading r;
  r.id = 42;
  r.series = 7;
  r.timeMs = 1717408800123;  // 2024-06-03 10:00:00.123 UTC
  r.utcOffsetMinutes = 120;
  r.order = 3;
  r.pass = 2;
  r.value = -1.5;
  r.decimals = 3;
  r.unit = "g";
  r.state = readings::State::Unstable;
  r.latencyMs = 35;
  r.link = "COM1";
  r.text = pl("S D  -1.500 g \"ł\"\\\t") + '\x01';
  const std::string json = readings::readingJson(r, "hala-1 \xc5\x81");
  EXPECT_EQ(
      json,
      "{\"id\":42,\"series\":7,\"station\":\"hala-1 \xc5\x81\",\"time\":\"2024-06-03T12:00:00.123+02:00\","
      "\"order\":3,\"pass\":2,\"value\":-1.500,\"unit\":\"g\",\"state\":\"unstable\",\"latency_ms\":35,"
      "\"link\":\"COM1\",\"text\":\"S D  -1.500 g \\\"\xc5\x82\\\"\\\\\\t\\u0001\"}");

  // The keys are the schema's, in its order.
  const std::string schema = testing_support::TempDir::read(TERSO_DOCS_DIR "/plant-reading.schema.json");
  const auto listed = schema.find("\"required\": [");
  ASSERT_NE(listed, std::string::npos);
  std::string keys;
  for (std::size_t at = 0; (at = json.find("\":", at)) != std::string::npos; ++at)
    keys += json.substr(json.rfind('"', at - 1), at - json.rfind('"', at - 1) + 1) + ", ";
  EXPECT_EQ(schema.substr(listed + 13, keys.size() - 2), keys.substr(0, keys.size() - 2));

  // No value, no latency; a number that is no number is null too.
  r.value.reset();
  r.latencyMs.reset();
  r.state = readings::State::Unknown;
  const std::string none = readings::readingJson(r, "s");
  EXPECT_NE(none.find("\"value\":null,"), std::string::npos);
  EXPECT_NE(none.find("\"latency_ms\":null,"), std::string::npos);
  EXPECT_NE(none.find("\"state\":\"unknown\""), std::string::npos);
  r.value = std::numeric_limits<double>::infinity();
  EXPECT_NE(readings::readingJson(r, "s").find("\"value\":null,"), std::string::npos);
  r.value = 120;
  r.decimals = 0;
  EXPECT_NE(readings::readingJson(r, "s").find("\"value\":120,"), std::string::npos);

  // The local time with its offset, across midnight and before the epoch.
  EXPECT_EQ(readings::isoTime(1717457400000, 120), "2024-06-04T01:30:00.000+02:00");
  EXPECT_EQ(readings::isoTime(1717408800999, -330), "2024-06-03T04:30:00.999-05:30");
  EXPECT_EQ(readings::isoTime(-1, 0), "1969-12-31T23:59:59.999+00:00");

  PlantLinkSettings s;
  s.prefix = "zaklad/hala";
  s.station = pl("waga-ł");
  EXPECT_EQ(readings::readingsTopic(s), "zaklad/hala/waga-\xc5\x82/readings");
  EXPECT_EQ(readings::statusTopic(s), "zaklad/hala/waga-\xc5\x82/status");
}

TEST(PlantLinkSettings, MqttUrlOverridesTheBrokerAndKeepsTheStation) {
  PlantLinkSettings base;
  base.station = "st1";
  base.caFile = "/etc/ca.pem";
  std::string error;

  auto s = readings::parseMqttUrl("mqtt://127.0.0.1:18830/plant", base, &error);
  ASSERT_TRUE(s) << error;
  EXPECT_TRUE(s->enabled);
  EXPECT_EQ(s->host, "127.0.0.1");
  EXPECT_EQ(s->port, 18830);
  EXPECT_EQ(s->prefix, "plant");
  EXPECT_EQ(s->station, "st1");
  EXPECT_FALSE(s->tls);
  EXPECT_EQ(s->user, "");

  s = readings::parseMqttUrl("mqtts://jan:p%40ss:w@broker.local/zaklad/hala%201", base, &error);
  ASSERT_TRUE(s) << error;
  EXPECT_TRUE(s->tls);
  EXPECT_EQ(s->port, 8883);
  EXPECT_EQ(s->user, "jan");
  EXPECT_EQ(s->password, "p@ss:w");
  EXPECT_EQ(s->host, "broker.local");
  EXPECT_EQ(s->prefix, "zaklad/hala 1");
  EXPECT_EQ(s->caFile, "/etc/ca.pem");

  s = readings::parseMqttUrl("mqtt://ola@[::1]:1884/p", base, &error);
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->host, "::1");
  EXPECT_EQ(s->port, 1884);
  EXPECT_EQ(s->user, "ola");
  EXPECT_EQ(s->password, "");

  for (const char* bad :
       {"http://h/p", "mqtt://h", "mqtt://h/", "mqtt:///p", "mqtt://h:0/p", "mqtt://h:65536/p",
        "mqtt://h:x1/p", "mqtt://h:/p", "mqtt://:pw@h/p", "mqtt://h/p%2", "mqtt://[::1/p"}) {
    error.clear();
    EXPECT_FALSE(readings::parseMqttUrl(bad, base, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }

  // What the settings must hold before the link can start.
  PlantLinkSettings ok = *readings::parseMqttUrl("mqtt://h/p", base);
  EXPECT_FALSE(readings::checkPlantLinkSettings(ok));
  for (auto broken : {&PlantLinkSettings::host, &PlantLinkSettings::station, &PlantLinkSettings::prefix}) {
    PlantLinkSettings s2 = ok;
    s2.*broken = "";
    EXPECT_TRUE(readings::checkPlantLinkSettings(s2));
  }
  for (const char* station : {"a/b", "a+", "#"}) {
    PlantLinkSettings s2 = ok;
    s2.station = station;
    EXPECT_TRUE(readings::checkPlantLinkSettings(s2)) << station;
  }
  PlantLinkSettings noCa = ok;
  noCa.tls = true;
  EXPECT_FALSE(readings::checkPlantLinkSettings(noCa));
  noCa.caFile.clear();
  EXPECT_TRUE(readings::checkPlantLinkSettings(noCa));
  for (const char* prefix : {"/p", "p/", "p/+"}) {
    PlantLinkSettings s2 = ok;
    s2.prefix = prefix;
    EXPECT_TRUE(readings::checkPlantLinkSettings(s2)) << prefix;
  }
}

TEST(PlantLinkSettings, SavedBesideOtherSectionsReadableByTheOwnerOnly) {
  testing_support::TempDir dir;
  const auto path = dir / "terso.ini";
  testing_support::TempDir::write(path, "[Readings]\nJournal=1\n");
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_read | std::filesystem::perms::others_read);

  PlantLinkSettings s;
  s.enabled = true;
  s.host = "broker";
  s.port = 8884;
  s.station = pl("waga ł");
  s.prefix = "zaklad/hala";
  s.user = "jan";
  s.password = "tajne=1;#";
  s.tls = true;
  s.caFile = "/etc/ca.pem";
  readings::savePlantLinkSettings(path.string(), s);

  const platform::IniFile ini(path.string());
  EXPECT_EQ(readings::readPlantLinkSettings(ini), s);
  EXPECT_EQ(ini.readString("Readings", "Journal", ""), "1");
  EXPECT_EQ(readings::readPlantLinkSettings(platform::IniFile(dir.path().string() + "/none.ini")),
            PlantLinkSettings{});
#ifndef _WIN32
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // A new file is never readable by others, not even for a moment.
  const auto fresh = dir / "fresh.ini";
  readings::savePlantLinkSettings(fresh.string(), s);
  EXPECT_EQ(std::filesystem::status(fresh).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
}

TEST(PlantLinkSettings, DialogShowsChecksAndReturnsTheSettings) {
  testing_support::ScriptedDialogs dialogs;
  readings::TPlantLinkForm form(dialogs);
  PlantLinkSettings current;
  current.host = "broker";
  current.station = "st1";
  current.password = "tajne";

  dialogs.fileAnswers.push_back(std::string("/etc/ca.pem"));
  dialogs.onModal = [&](ui::Form&) {
    EXPECT_EQ(form.EditHost.text(), "broker");
    EXPECT_EQ(form.EditPort.text(), "1883");
    EXPECT_EQ(form.EditPrefix.text(), "terso");
    EXPECT_EQ(form.EditPassword.text(), "tajne");
    EXPECT_TRUE(form.EditPassword.password());
    EXPECT_FALSE(form.EditCaFile.enabled());
    form.cbEnabled.click();
    form.cbTls.click();
    EXPECT_TRUE(form.EditCaFile.enabled());
    form.btnCaFile.click();
    EXPECT_EQ(form.EditCaFile.text(), "/etc/ca.pem");
    // What cannot work is said, and the dialog stays.
    form.EditPort.setText("70000");
    form.btnSave.click();
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form.modalResult(), ui::ModalResult::None);
    form.EditPort.setText("8883");
    form.btnSave.click();
    return ui::ModalResult::None;
  };
  const auto saved = form.Edit(current);
  ASSERT_TRUE(saved);
  PlantLinkSettings expected = current;
  expected.enabled = expected.tls = true;
  expected.port = 8883;
  expected.caFile = "/etc/ca.pem";
  EXPECT_EQ(*saved, expected);

  dialogs.onModal = [&](ui::Form&) {
    form.EditHost.setText("other");
    form.btnCancel.click();
    return ui::ModalResult::None;
  };
  EXPECT_FALSE(form.Edit(*saved));
}

}  // namespace
