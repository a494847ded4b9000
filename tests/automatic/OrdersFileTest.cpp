// The orders file: orders read by field name with the defaults of a new order
// for what is missing, what a save writes, the document kept between loads
// and saves, and a file that could not be read kept before it is replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "EditorFixture.h"
#include "platform/Cp1250.h"

namespace automatic_test {
namespace {

using platform::pl;
using OrdersFileTest = EditorFixture;

const Row kDefault{"", "SI", "5", "s", "1", "3", ""};

Row numbered(int n, Row r) {
  r[0] = std::to_string(n);
  return r;
}

TEST_F(OrdersFileTest, OrdersLoadByFieldNameInDocumentOrderWithDefaultsForWhatIsMissing) {
  write("orders.xml",
        "<Rozkazy>\n"
        "  <Rozkaz><Rozkaz>S</Rozkaz><Czas>2</Czas><Jedn.>m</Jedn.><L.pom.>4</L.pom.><COM>5</COM>"
        "<Prędkość>19200</Prędkość></Rozkaz>\n"
        "  <!-- a comment between orders -->\n"
        "  <Rozkaz><Rozkaz>wait</Rozkaz><Jedn.>h</Jedn.></Rozkaz>\n"
        "  <Rozkaz/>\n"
        "  <Rozkaz><Prędkość>9600</Prędkość><COM>10.0.0.7</COM><L.pom.>2</L.pom.><Jedn.>s</Jedn.>"
        "<Czas>1,5</Czas><Rozkaz>beep</Rozkaz></Rozkaz>\n"
        "  <Rozkaz><Rozkaz>T</Rozkaz><Czas></Czas><Jedn.>h</Jedn.></Rozkaz>\n"
        "  <Rozkaz><Rozkaz><b>bold</b></Rozkaz><Czas>7</Czas></Rozkaz>\n"
        "</Rozkazy>\n");
  // Whatever the grid showed and however it was numbered goes.
  fill({{"9", "X", "1", "s", "1", "", ""},
        {"8", "Y", "1", "s", "1", "", ""},
        {"7", "Z", "1", "s", "1", "", ""},
        {"6", "Q", "1", "s", "1", "", ""},
        {"5", "R", "1", "s", "1", "", ""},
        {"4", "P", "1", "s", "1", "", ""},
        {"3", "O", "1", "s", "1", "", ""}});
  form2.LoadXMLOrders(path("orders.xml"));
  EXPECT_EQ(rows(), (std::vector<Row>{
                        {"1", "S", "2", "m", "4", "5", "19200"},
                        // "Czas" missing: the rest keep the defaults.
                        {"2", "wait", "5", "s", "1", "3", ""},
                        numbered(3, kDefault),
                        {"4", "beep", "1,5", "s", "2", "10.0.0.7", "9600"},
                        // An empty field ends the order as a missing one does.
                        {"5", "T", "5", "s", "1", "3", ""},
                        // A field holding elements is no text.
                        numbered(6, kDefault),
                    }));
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("orders.xml"));
  EXPECT_EQ(form2.LabelOrdersFileName.caption(), path("orders.xml"));
}

TEST_F(OrdersFileTest, AnotherRootNameAndOrderNamesLoadAndTheSaveKeepsRootAndDeclaration) {
  const std::string declared = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n";
  write("lista.xml", declared + "<Lista><Pomiar><Rozkaz>" + pl("Ważenie") +
                         "</Rozkaz><Czas>3</Czas></Pomiar>" + "<Inny><Rozkaz>B</Rozkaz></Inny></Lista>");
  form2.LoadXMLOrders(path("lista.xml"));
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", pl("Ważenie"), "3", "s", "1", "3", ""},
                                      numbered(2, {"", "B", "5", "s", "1", "3", ""})}));

  form2.StringGrid1.setCell(automatic::colOrder, 2, pl("Żółw"));
  form2.SaveXMLOrders(path("lista.xml"));
  const std::string bytes = read("lista.xml");
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\"?>", 0), 0u) << bytes;
  // Written in the declared encoding: the Polish letters are single bytes.
  EXPECT_NE(bytes.find("<Lista>\n  <Rozkaz>\n    <Rozkaz>" + pl("Ważenie") + "</Rozkaz>\n    <Czas>3</Czas>"),
            std::string::npos)
      << bytes;
  EXPECT_NE(bytes.find("<Rozkaz>" + pl("Żółw") + "</Rozkaz>"), std::string::npos) << bytes;
  EXPECT_EQ(bytes.find("Pomiar"), std::string::npos) << bytes;
}

TEST_F(OrdersFileTest, SavingWritesEveryRowWithTheSpeedDefaultAndAnEmptyListWritesNothing) {
  form1.ConfigOptions.OrdersFileName = "before.xml";
  form2.LoadXMLOrders(path("new.xml"));  // missing: the first save creates it
  EXPECT_FALSE(std::filesystem::exists(dir / "new.xml"));
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("new.xml"));

  // An empty list: nothing written, the name stays.
  form2.SaveXMLOrders(path("empty.xml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "empty.xml"));
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("new.xml"));

  fill({{"1", "SI", "5", "s", "1", "2", "   "},
        {"7", "S ", " 1", "m", "2", "3", "9600"},
        {"", "", "", "", "", "", ""}});
  form2.SaveXMLOrders(path("new.xml"));
  // Indented, one element a line.
  EXPECT_EQ(read("new.xml"),
            "<Rozkazy>\n"
            "  <Rozkaz>\n    <Rozkaz>SI</Rozkaz>\n    <Czas>5</Czas>\n    <Jedn.>s</Jedn.>\n"
            "    <L.pom.>1</L.pom.>\n    <COM>2</COM>\n    <Prędkość>4800</Prędkość>\n  </Rozkaz>\n"
            "  <Rozkaz>\n    <Rozkaz>S </Rozkaz>\n    <Czas> 1</Czas>\n    <Jedn.>m</Jedn.>\n"
            "    <L.pom.>2</L.pom.>\n    <COM>3</COM>\n    <Prędkość>9600</Prędkość>\n  </Rozkaz>\n"
            "  <Rozkaz>\n    <Rozkaz/>\n    <Czas/>\n    <Jedn./>\n    <L.pom./>\n    <COM/>\n"
            "    <Prędkość>4800</Prędkość>\n  </Rozkaz>\n"
            "</Rozkazy>\n");

  // A file that cannot be written leaves the name as it was.
  form2.SaveXMLOrders(path("no-such-folder/x.xml"));
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("new.xml"));
}

TEST_F(OrdersFileTest, SaveThenLoadGivesTheCellsBackNumberedByPosition) {
  // Blanks at the ends of a value are its own: the indentation around the
  // elements must not reach them.
  const std::vector<Row> saved{{"4", pl("Zażółć"), "1.5", "h", "3", "192.168.1.100", "1001"},
                               {"4", "file", "10", "s", "1", "C:\\pomiary\\a.txt", ""},
                               {"5", " ", "\t2,5 ", "s", "1", "\n", "9600"},
                               {"x", "$FF$02PS00", "0", "m", "-2", "", " "}};
  form2.LoadXMLOrders(path("round.xml"));
  fill(saved);
  form2.SaveXMLOrders(path("round.xml"));
  fill({});
  form2.LoadXMLOrders(path("round.xml"));
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", pl("Zażółć"), "1.5", "h", "3", "192.168.1.100", "1001"},
                                      {"2", "file", "10", "s", "1", "C:\\pomiary\\a.txt", "4800"},
                                      {"3", " ", "\t2,5 ", "s", "1", "\n", "9600"},
                                      // An empty link ends the order: the defaults follow.
                                      {"4", "$FF$02PS00", "0", "m", "-2", "3", ""}}));
}

TEST_F(OrdersFileTest, AFileThatCannotBeParsedLoadsAsMissingAndIsKeptBesideItBeforeASave) {
  const std::string damaged = "<Rozkazy><Rozkaz><Rozkaz>SI</Rozkaz><Czas>5</Cz";
  write("orders.xml", damaged);
  write("orders.xml.bak", "an older copy");
  fill({{"1", "A", "5", "s", "1", "3", ""}});
  form2.LoadXMLOrders(path("orders.xml"));
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "A", "5", "s", "1", "3", ""}}));
  EXPECT_EQ(form1.ConfigOptions.OrdersFileName, path("orders.xml"));
  // Said once, with where the next save keeps it; the reload when the
  // editor closes says nothing more.
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            pl("Nie można odczytać pliku rozkazów ") + path("orders.xml") +
                pl(". Przy najbliższym zapisie jego treść zostanie zachowana w pliku ") +
                path("orders.xml.bak2") + ".");
  EXPECT_EQ(dialogs.messages[0].icon, ui::MessageIcon::Warning);
  form2.LoadXMLOrders(path("orders.xml"));
  EXPECT_EQ(dialogs.messages.size(), 1u);

  form2.SaveXMLOrders(path("orders.xml"));
  EXPECT_EQ(read("orders.xml.bak2"), damaged);
  EXPECT_EQ(read("orders.xml.bak"), "an older copy");
  EXPECT_EQ(read("orders.xml").rfind("<Rozkazy>\n  <Rozkaz>\n    <Rozkaz>A</Rozkaz>", 0), 0u);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_NE(dialogs.messages[1].text.find(path("orders.xml.bak2")), std::string::npos);

  // Now sound, it is replaced without another copy, and loads without a word.
  form2.SaveXMLOrders(path("orders.xml"));
  form2.LoadXMLOrders(path("orders.xml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "orders.xml.bak3"));
  EXPECT_EQ(dialogs.messages.size(), 2u);

  // Damaged again later: said again.
  write("orders.xml", damaged);
  form2.LoadXMLOrders(path("orders.xml"));
  EXPECT_EQ(dialogs.messages.size(), 3u);
}

}  // namespace
}  // namespace automatic_test
