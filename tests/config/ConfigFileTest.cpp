#include "config/ConfigFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/XmlDocument.h"
#include "support/TempDir.h"

using config::TConfigFile;
using config::TConfigOptions;
using platform::pl;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

// A config.xml in a temporary program folder, opened and loaded as at start-up.
struct Program {
  TempDir dir;
  TConfigFile file{dir.path().string()};
  TConfigOptions options;

  fs::path configPath() const { return dir / "config.xml"; }
  void writeConfig(const std::string& bytes) const { TempDir::write(configPath(), bytes); }
  std::string savedConfig() const { return TempDir::read(configPath()); }

  void start() {
    file.OpenConfig();
    file.LoadConfig(options);
  }
  void startWith(const std::string& bytes) {
    writeConfig(bytes);
    start();
  }
};

std::string options(const std::string& inner) {
  return "<TersoConfig><Options>" + inner + "</Options></TersoConfig>";
}

std::string fullFile(const std::string& windRowMode, const std::string& kind, const std::string& host,
                     const std::string& port) {
  return "<TersoConfig><Options><OrdersFileName>/o.xml</OrdersFileName><WindRow>Yes</WindRow>"
         "<WindRowMode>" +
         windRowMode +
         "</WindRowMode><WindRowChar>;</WindRowChar><SaveASCII>No</SaveASCII>"
         "<InsertTime>Yes</InsertTime><ChangePointToColon>Yes</ChangePointToColon><FastWrite>Yes</FastWrite>"
         "</Options><Interface><Kind>" +
         kind + "</Kind><Host>" + host + "</Host><Port>" + port + "</Port></Interface></TersoConfig>";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The saved file's values, read back through the XML layer.
std::string savedValue(const std::string& bytes, const std::string& section, const std::string& element) {
  platform::XmlDocument doc;
  EXPECT_TRUE(doc.loadFromBytes(bytes)) << bytes;
  return doc.root().firstChild(section).firstChild(element).text().value_or("<other content>");
}

std::vector<std::string> childNames(const std::string& bytes, const std::string& section) {
  platform::XmlDocument doc;
  EXPECT_TRUE(doc.loadFromBytes(bytes)) << bytes;
  std::vector<std::string> names;
  for (const auto& e : doc.root().firstChild(section).childElements()) names.push_back(e.name());
  return names;
}

}  // namespace

TEST(ConfigFile, StartWithoutFileThenExitWritesTheCompleteDefaultFile) {
  Program p;
  p.start();
  // The program's directory and the name joined with the system's own
  // separator, as the operator is shown it.
  const std::string orders = platform::utf8Path(p.dir.path() / "orders.xml");
  EXPECT_EQ(p.options.OrdersFileName, orders);
  EXPECT_FALSE(p.options.WindRow);
  EXPECT_EQ(p.options.WindRowMode, 0);
  EXPECT_EQ(p.options.WindRowChar, "$00");
  EXPECT_TRUE(p.options.SaveASCII);
  EXPECT_FALSE(p.options.InsertTime || p.options.ChangePointToColon || p.options.FastWrite);
  EXPECT_EQ(p.options.ConnectionKind, config::kSerialConnection);
  EXPECT_EQ(p.options.Host, "192.168.1.100");
  EXPECT_EQ(p.options.Port, 1001);
  EXPECT_FALSE(fs::exists(p.configPath())) << "nothing is written before exit";

  p.options.InsertTime = true;  // changed during the run
  const auto result = p.file.SaveConfig(p.options);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(result.notice.empty());

  const std::string saved = p.savedConfig();
  platform::XmlDocument doc;
  ASSERT_TRUE(doc.loadFromBytes(saved));
  EXPECT_FALSE(doc.hasDeclaration());
  EXPECT_EQ(doc.root().name(), "TersoConfig");
  ASSERT_EQ(doc.root().childElements().size(), 2u);
  EXPECT_EQ(doc.root().childElements()[0].name(), "Options");
  EXPECT_EQ(childNames(saved, "Options"),
            (std::vector<std::string>{"OrdersFileName", "WindRow", "WindRowMode", "WindRowChar", "SaveASCII",
                                      "InsertTime", "ChangePointToColon", "FastWrite"}));
  EXPECT_EQ(childNames(saved, "Interface"), (std::vector<std::string>{"Kind", "Host", "Port"}));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"OrdersFileName", orders}, {"WindRow", "No"},     {"WindRowMode", "0"},         {"WindRowChar", "$00"},
      {"SaveASCII", "Yes"},       {"InsertTime", "Yes"}, {"ChangePointToColon", "No"}, {"FastWrite", "No"}};
  for (const auto& [element, text] : expected)
    EXPECT_EQ(savedValue(saved, "Options", element), text) << element;
  EXPECT_EQ(savedValue(saved, "Interface", "Kind"), "COM");
  EXPECT_EQ(savedValue(saved, "Interface", "Host"), "192.168.1.100");
  EXPECT_EQ(savedValue(saved, "Interface", "Port"), "1001");

  // The next start reads back what was written.
  Program next;
  next.startWith(saved);
  TConfigOptions expectedOptions = p.options;
  EXPECT_EQ(next.options, expectedOptions);
}

TEST(ConfigFile, EveryValueSurvivesASaveAndALoad) {
  Program p;
  p.start();
  p.options = TConfigOptions{pl("/dane/zamówienia łódź.xml"),
                             true,
                             1,
                             " ",
                             false,
                             true,
                             true,
                             true,
                             config::kEthernetConnection,
                             pl(" wagą.local "),
                             70000};
  ASSERT_TRUE(p.file.SaveConfig(p.options).written);
  Program next;
  next.startWith(p.savedConfig());
  EXPECT_EQ(next.options, p.options);
}

TEST(ConfigFile, MissingElementsAreAppendedAndExistingOnesKept) {
  Program p;
  // FastWrite missing; a foreign element, a comment, a stray OrdersFileName
  // under the root and a whole foreign section.
  p.startWith(
      "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n"
      "<!-- hand edited -->\n"
      "<Ustawienia>\n"
      "  <OrdersFileName>/stary.xml</OrdersFileName>\n"
      "  <Obce><a>1</a></Obce>\n"
      "  <Options>\n"
      "    <!-- options -->\n"
      "    <WindRowChar>A</WindRowChar>\n"
      "    <OrdersFileName>/o.xml</OrdersFileName>\n"
      "    <Extra>keep</Extra>\n"
      "    <WindRow>Yes</WindRow><WindRowMode>1</WindRowMode><SaveASCII>No</SaveASCII>\n"
      "    <InsertTime>Yes</InsertTime><ChangePointToColon>Yes</ChangePointToColon>\n"
      "    <WindRow>No</WindRow>\n"
      "  </Options>\n"
      "</Ustawienia>\n");
  EXPECT_EQ(p.options.OrdersFileName, "/o.xml");
  EXPECT_TRUE(p.options.WindRow) << "the first of two elements counts";
  EXPECT_EQ(p.options.WindRowChar, "A");
  EXPECT_FALSE(p.options.SaveASCII);
  EXPECT_FALSE(p.options.FastWrite);
  EXPECT_EQ(p.options.Port, 1001) << "a missing Interface is built from defaults";

  p.options.OrdersFileName = "/nowy.xml";
  ASSERT_TRUE(p.file.SaveConfig(p.options).written);
  const std::string saved = p.savedConfig();
  EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\"?>", 0), 0u) << saved;
  EXPECT_NE(saved.find("<!-- hand edited -->"), std::string::npos);
  EXPECT_NE(saved.find("<!-- options -->"), std::string::npos);
  EXPECT_NE(saved.find("<Obce>"), std::string::npos);
  EXPECT_NE(saved.find("<Extra>keep</Extra>"), std::string::npos);
  EXPECT_EQ(
      childNames(saved, "Options"),
      (std::vector<std::string>{"WindRowChar", "OrdersFileName", "Extra", "WindRow", "WindRowMode",
                                "SaveASCII", "InsertTime", "ChangePointToColon", "WindRow", "FastWrite"}));
  EXPECT_EQ(savedValue(saved, "Options", "FastWrite"), "No");

  platform::XmlDocument doc;
  ASSERT_TRUE(doc.loadFromBytes(saved));
  EXPECT_EQ(doc.root().name(), "Ustawienia") << "the root keeps its name";
  EXPECT_EQ(doc.root().firstChild("OrdersFileName").text(), "/nowy.xml") << "the stray element follows";
  EXPECT_EQ(doc.root().firstChild("Options").firstChild("OrdersFileName").text(), "/nowy.xml");
  const auto sections = doc.root().childElements();
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[3].name(), "Interface") << "a missing section is appended last";
}

TEST(ConfigFile, ValuesAreReadExactly) {
  Program p;
  p.startWith(
      options("<WindRow>yes</WindRow><SaveASCII>Yes </SaveASCII><InsertTime> Yes</InsertTime>"
              "<FastWrite>Yes</FastWrite>"));
  EXPECT_FALSE(p.options.WindRow);
  EXPECT_FALSE(p.options.SaveASCII);
  EXPECT_FALSE(p.options.InsertTime);
  EXPECT_TRUE(p.options.FastWrite);
  ASSERT_TRUE(p.file.SaveConfig(p.options).written);
  EXPECT_EQ(savedValue(p.savedConfig(), "Options", "WindRow"), "No");

  Program eth;
  eth.startWith(fullFile("0", "eth", "h", "1"));
  EXPECT_EQ(eth.options.ConnectionKind, config::kSerialConnection);
  Program eth2;
  eth2.startWith(fullFile("0", "Eth", "h", "1"));
  EXPECT_EQ(eth2.options.ConnectionKind, config::kEthernetConnection);

  // Port: not positive or not a number reads as 1001; no upper bound.
  for (const auto& [text, port] : std::vector<std::pair<std::string, int>>{{"0", 1001},
                                                                           {"-5", 1001},
                                                                           {"abc", 1001},
                                                                           {"12x", 1001},
                                                                           {"99999999999", 1001},
                                                                           {"70000", 70000},
                                                                           {"+80", 80}}) {
    Program q;
    q.startWith(fullFile("0", "COM", "h", text));
    EXPECT_EQ(q.options.Port, port) << text;
  }

  // WindRowMode: the low 8 bits as a signed byte; a negative value saves as 0.
  for (const auto& [text, mode] :
       std::vector<std::pair<std::string, int>>{{"300", 44}, {"255", -1}, {"1", 1}, {"x", 0}, {"-1", -1}}) {
    Program q;
    q.startWith(fullFile(text, "COM", "h", "1"));
    EXPECT_EQ(q.options.WindRowMode, mode) << text;
  }
  Program q;
  q.startWith(fullFile("255", "COM", "h", "1"));
  ASSERT_TRUE(q.file.SaveConfig(q.options).written);
  EXPECT_EQ(savedValue(q.savedConfig(), "Options", "WindRowMode"), "0");
}

TEST(ConfigFile, UnreadableValuesFollowTheLoadTable) {
  // An empty Host stops the load: Port stays 0 and the save writes defaults.
  Program p;
  p.startWith(fullFile("1", "Eth", "", "2000"));
  EXPECT_EQ(p.options.ConnectionKind, config::kEthernetConnection) << "read before the stop";
  EXPECT_EQ(p.options.Host, "");
  EXPECT_EQ(p.options.Port, 0);
  ASSERT_TRUE(p.file.SaveConfig(p.options).written);
  EXPECT_EQ(savedValue(p.savedConfig(), "Interface", "Host"), "192.168.1.100");
  EXPECT_EQ(savedValue(p.savedConfig(), "Interface", "Port"), "1001");

  // Empty or other content: empty strings and false, and no stop.
  Program q;
  q.options.WindRowChar = "old";
  q.options.InsertTime = true;
  q.startWith(replaced(replaced(fullFile("1", "", "h", "5"), "<WindRowChar>;", "<WindRowChar><!-- c -->"),
                       "<InsertTime>Yes", "<InsertTime><b/>"));
  EXPECT_EQ(q.options.WindRowChar, "");
  EXPECT_FALSE(q.options.InsertTime);
  EXPECT_EQ(q.options.ConnectionKind, config::kSerialConnection) << "an empty Kind is COM";
  EXPECT_EQ(q.options.Port, 5) << "no stop before Port";

  // Stops: WindRowMode empty, Kind holding an element, Port empty, Host holding a comment.
  struct Stop {
    std::string file;
    int lastFieldRead;  // 0 OrdersFileName .. 10 Port
  };
  for (const Stop& stop :
       {Stop{fullFile("", "Eth", "h", "5"), 1}, Stop{fullFile("1", "<x/>", "h", "5"), 7},
        Stop{fullFile("1", "Eth", "h", ""), 9}, Stop{fullFile("1", "Eth", "h<!--c-->", "5"), 8}}) {
    Program s;
    s.startWith(stop.file);
    EXPECT_EQ(s.options.OrdersFileName, "/o.xml");
    EXPECT_EQ(s.options.WindRow, true);
    EXPECT_EQ(s.options.WindRowMode, stop.lastFieldRead >= 2 ? 1 : 0) << stop.file;
    EXPECT_EQ(s.options.FastWrite, stop.lastFieldRead >= 7) << stop.file;
    EXPECT_EQ(s.options.ConnectionKind, stop.lastFieldRead >= 8 ? 1 : 0) << stop.file;
    EXPECT_EQ(s.options.Host, stop.lastFieldRead >= 9 ? "h" : "") << stop.file;
    EXPECT_EQ(s.options.Port, 0) << stop.file;
  }
}

TEST(ConfigFile, SavesNothingWithoutOrdersFileOrWithAnUnsettableElement) {
  const std::string original = replaced(fullFile("1", "COM", "h", "5"), "/o.xml", "");
  Program p;
  p.startWith(original);
  EXPECT_EQ(p.options.OrdersFileName, "");
  p.options.WindRow = false;
  EXPECT_FALSE(p.file.SaveConfig(p.options).written);
  EXPECT_EQ(p.savedConfig(), original);

  // The orders editor sets a name before exit: the options are saved.
  p.options.OrdersFileName = "/x.xml";
  EXPECT_TRUE(p.file.SaveConfig(p.options).written);
  EXPECT_EQ(savedValue(p.savedConfig(), "Options", "WindRow"), "No");

  // An element holding a comment cannot be set: the file keeps its content.
  const std::string commented = fullFile("1", "COM", "h<!-- c -->", "5");
  Program q;
  q.startWith(commented);
  q.options.OrdersFileName = "/x.xml";
  EXPECT_FALSE(q.file.SaveConfig(q.options).written);
  EXPECT_EQ(q.savedConfig(), commented);
}

TEST(ConfigFile, AnUnreadableFileIsKeptBeforeItIsReplaced) {
  Program p;
  const std::string broken = "<TersoConfig><Options><WindRow>Yes</WindRow>";  // cut short
  p.startWith(broken);
  EXPECT_EQ(p.options.Port, 1001) << "built from defaults";
  TempDir::write(p.dir / "config.xml.bak", "an older backup");

  auto result = p.file.SaveConfig(p.options);
  EXPECT_TRUE(result.written);
  EXPECT_NE(result.notice.find("config.xml.bak2"), std::string::npos) << result.notice;
  EXPECT_EQ(TempDir::read(p.dir / "config.xml.bak2"), broken);
  EXPECT_EQ(TempDir::read(p.dir / "config.xml.bak"), "an older backup");
  EXPECT_EQ(savedValue(p.savedConfig(), "Interface", "Port"), "1001");

  result = p.file.SaveConfig(p.options);
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(result.notice.empty()) << "told once";
  EXPECT_FALSE(fs::exists(p.dir / "config.xml.bak3"));

  // A hostile file is unreadable too; its entities are never expanded.
  Program h;
  const std::string hostile =
      "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
      "<TersoConfig><Options><WindRowChar>&b;</WindRowChar></Options></TersoConfig>";
  h.startWith(hostile);
  EXPECT_EQ(h.options.WindRowChar, "$00");
  result = h.file.SaveConfig(h.options);
  EXPECT_TRUE(result.written);
  EXPECT_FALSE(result.notice.empty());
  EXPECT_EQ(TempDir::read(h.dir / "config.xml.bak"), hostile);

  // If the copy cannot be made, the unreadable file is not replaced.
  Program c;
  c.startWith(broken);
  fs::create_directory(c.dir / "config.xml.bak");
  for (int n = 2; n <= 99; ++n) fs::create_directory(c.dir / ("config.xml.bak" + std::to_string(n)));
  EXPECT_FALSE(c.file.SaveConfig(c.options).written);
  EXPECT_EQ(c.savedConfig(), broken);
}

TEST(ConfigFile, AFailedWriteLeavesTheOldFileWhole) {
  const std::string old = fullFile("1", "Eth", "h", "5");
  // Failing the rename stands for a crash between writing and renaming; a
  // failing write for a short write or a full disk.
  for (platform::AtomicWriteStep step :
       {platform::AtomicWriteStep::Rename, platform::AtomicWriteStep::Write}) {
    Program p;
    p.startWith(old);
    p.options.WindRowChar = std::string(50000, 'x');
    platform::setAtomicWriteFaultForTesting([step](platform::AtomicWriteStep s) { return s == step; });
    const auto result = p.file.SaveConfig(p.options);
    platform::setAtomicWriteFaultForTesting({});
    EXPECT_FALSE(result.written);
    EXPECT_EQ(p.savedConfig(), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(p.dir.path()), fs::directory_iterator()), 1);
  }
}
