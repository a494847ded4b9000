#include "platform/XmlDocument.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <stdexcept>

#include "platform/Cp1250.h"
#include "support/TempDir.h"

using platform::pl;
using platform::XmlDocument;
using platform::XmlElement;
using testing_support::TempDir;

namespace {

// An order as the orders file keeps it: Polish letters and full stops in names.
void appendOrder(XmlElement parent) {
  XmlElement order = parent.appendChild("Rozkaz");
  order.appendChild("Rozkaz").setText("SI");
  order.appendChild("Jedn.").setText("s");
  order.appendChild("L.pom.").setText("1");
  order.appendChild(pl("Prędkość")).setText(pl("żółć 9600"));
}

void expectOrder(const XmlDocument& doc) {
  const XmlElement order = doc.root().firstChild("Rozkaz");
  ASSERT_TRUE(order);
  EXPECT_EQ(order.firstChild("Rozkaz").text(), "SI");
  EXPECT_EQ(order.firstChild("Jedn.").text(), "s");
  EXPECT_EQ(order.firstChild("L.pom.").text(), "1");
  EXPECT_EQ(order.firstChild(pl("Prędkość")).text(), pl("żółć 9600"));
}

}  // namespace

TEST(XmlDocument, NewDocumentIsUtf8WithoutDeclarationAndNamesSurvive) {
  TempDir dir;
  XmlDocument doc;
  doc.startNew();
  EXPECT_FALSE(doc.root());
  appendOrder(doc.addRoot("Rozkazy"));
  EXPECT_THROW(doc.addRoot("Drugi"), std::logic_error);
  EXPECT_THROW(doc.root().appendChild("L pom"), std::invalid_argument);

  const std::string file = (dir / "orders.xml").string();
  ASSERT_TRUE(doc.save(file));
  const std::string bytes = TempDir::read(file);
  EXPECT_EQ(bytes.rfind("<Rozkazy><Rozkaz><Rozkaz>SI</Rozkaz>", 0), 0u)
      << bytes;  // no declaration, no indent
  EXPECT_NE(bytes.find("<Prędkość>żółć 9600</Prędkość>"), std::string::npos) << bytes;

  XmlDocument again;
  ASSERT_TRUE(again.load(file));
  EXPECT_FALSE(again.hasDeclaration());
  expectOrder(again);
  ASSERT_TRUE(again.save(file));
  EXPECT_EQ(TempDir::read(file), bytes);
}

TEST(XmlDocument, LoadedFileKeepsItsDeclarationAndWindows1250) {
  TempDir dir;
  const std::string file = (dir / "orders.xml").string();
  TempDir::write(file,
                 "<?xml version=\"1.0\" encoding=\"windows-1250\" standalone=\"yes\"?>\n"
                 "<!-- list -->\n<Lista>\n  <Stary>" +
                     pl("łódź") + "</Stary>\n</Lista>\n");
  XmlDocument doc;
  ASSERT_TRUE(doc.load(file)) << doc.lastError();
  EXPECT_TRUE(doc.hasDeclaration());
  EXPECT_EQ(doc.root().name(), "Lista");
  EXPECT_EQ(doc.root().firstChild("Stary").text(), pl("łódź"));

  doc.root().removeChildren();
  appendOrder(doc.root());
  ASSERT_TRUE(doc.save(file)) << doc.lastError();
  const std::string bytes = TempDir::read(file);
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"windows-1250\" standalone=\"yes\"?>", 0), 0u)
      << bytes;
  EXPECT_NE(bytes.find("<!-- list -->"), std::string::npos);
  EXPECT_NE(bytes.find("<" + pl("Prędkość") + ">"), std::string::npos) << "names written in Windows-1250";
  EXPECT_EQ(bytes.find("Stary"), std::string::npos);

  XmlDocument again;
  ASSERT_TRUE(again.load(file)) << again.lastError();
  EXPECT_EQ(again.encoding(), "windows-1250");
  expectOrder(again);

  // A declaration without an encoding stays one, and the file stays UTF-8.
  TempDir::write(file, "\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>");
  ASSERT_TRUE(doc.load(file));
  doc.root().appendChild(pl("Prędkość"));
  ASSERT_TRUE(doc.save(file));
  EXPECT_EQ(TempDir::read(file), "<?xml version=\"1.0\"?>\n<a><Prędkość/></a>\n");
}

TEST(XmlDocument, NameTheDeclaredEncodingCannotCarryIsNotWritten) {
  TempDir dir;
  const std::string file = (dir / "orders.xml").string();
  const std::string original = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Rozkazy/>";
  TempDir::write(file, original);
  XmlDocument doc;
  ASSERT_TRUE(doc.load(file));
  doc.root().appendChild(pl("Prędkość")).setText(pl("ę"));
  EXPECT_FALSE(doc.serialize());
  EXPECT_FALSE(doc.save(file));
  EXPECT_EQ(TempDir::read(file), original);
}

TEST(XmlDocument, ElementContentAndText) {
  XmlDocument doc;
  ASSERT_TRUE(
      doc.loadFromBytes("<r>\n"
                        "  <empty/>\n"
                        "  <blank>  </blank>\n"
                        "  <text>Yes</text>\n"
                        "  <cdata><![CDATA[a<b]]></cdata>\n"
                        "  <child><x>1</x></child>\n"
                        "  <comment><!-- c --></comment>\n"
                        "  <mixed>a<!-- c -->b</mixed>\n"
                        "  <dup>first</dup><Dup>case</Dup><dup>second</dup>\n"
                        "</r>"))
      << doc.lastError();
  const XmlElement r = doc.root();
  using C = XmlElement::Content;
  EXPECT_EQ(r.childElements().size(), 10u) << "blanks between elements are not nodes";
  EXPECT_EQ(r.firstChild("empty").content(), C::Empty);
  EXPECT_EQ(r.firstChild("empty").text(), "");
  EXPECT_EQ(r.firstChild("blank").text(), "  ") << "a blank value is a value";
  EXPECT_EQ(r.firstChild("text").text(), "Yes");
  EXPECT_EQ(r.firstChild("cdata").text(), "a<b");
  for (const char* name : {"child", "comment", "mixed"}) {
    XmlElement e = r.firstChild(name);
    EXPECT_EQ(e.content(), C::Other) << name;
    EXPECT_FALSE(e.text()) << name;
    EXPECT_FALSE(e.setText("x")) << name;
    EXPECT_EQ(e.content(), C::Other) << name << " unchanged";
  }
  EXPECT_EQ(r.firstChild("dup").text(), "first");
  EXPECT_EQ(r.firstChild("Dup").text(), "case");
  EXPECT_FALSE(r.firstChild("DUP"));
  EXPECT_FALSE(r.firstChild("missing").firstChild("deeper")) << "a null handle finds nothing";

  XmlElement empty = r.firstChild("empty");
  ASSERT_TRUE(empty.setText(pl("ząb & <ok>\r\n")));
  XmlElement text = r.firstChild("text");
  ASSERT_TRUE(text.setText(""));
  EXPECT_EQ(text.content(), C::Empty);
  // Control characters XML cannot carry would make the file unloadable.
  XmlElement blank = r.firstChild("blank");
  ASSERT_TRUE(
      blank.setText(std::string("a\x01"
                                "b\0c",
                                5)));

  const auto bytes = doc.serialize();
  ASSERT_TRUE(bytes);
  XmlDocument again;
  ASSERT_TRUE(again.loadFromBytes(*bytes)) << again.lastError();
  EXPECT_EQ(again.root().firstChild("empty").text(), pl("ząb & <ok>\r\n"));
  EXPECT_EQ(again.root().firstChild("blank").text(), "a?b?c");
  EXPECT_EQ(again.root().firstChild("text").content(), C::Empty);

  r.firstChild("child").removeChildren();
  EXPECT_EQ(r.firstChild("child").content(), C::Empty);
  doc.close();
  EXPECT_FALSE(doc.isOpen());
  EXPECT_FALSE(doc.root());
}

TEST(XmlDocument, MalformedAndOversizedFilesCannotBeLoaded) {
  TempDir dir;
  XmlDocument doc;
  const std::string file = (dir / "x.xml").string();

  EXPECT_FALSE(doc.load((dir / "missing.xml").string()));
  EXPECT_FALSE(doc.load(dir.path().string()));  // a folder

  for (const std::string& bytes :
       {std::string(), std::string("<a><b></a>"), std::string("<a>&undefined;</a>"), std::string("<a/><b/>"),
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\x00<<", 22),
        std::string("<?xml version=\"1.0\" encoding=\"windows-1250\"?><a>\x98</a>"),
        std::string("<?xml version=\"1.0\" encoding=\"no-such-code-page\"?><a/>")}) {
    TempDir::write(file, bytes);
    EXPECT_FALSE(doc.load(file)) << bytes;
    EXPECT_FALSE(doc.isOpen());
    EXPECT_FALSE(doc.lastError().empty());
  }

  // A loaded document is dropped by a failed load.
  TempDir::write(file, "<a/>");
  ASSERT_TRUE(doc.load(file));
  TempDir::write(file, "<a><" + std::string(1000, 'x') + "/>");
  EXPECT_FALSE(doc.load(file));
  EXPECT_FALSE(doc.isOpen());

  // Larger than the limit: refused unread.
  TempDir::write(file, "<a>" + std::string(4096, 'x') + "</a>");
  EXPECT_FALSE(doc.load(file, 4000));
  EXPECT_EQ(doc.lastError(), "file too large");
  EXPECT_TRUE(doc.load(file, 5000));

  // A FIFO under the file's name must not block the program.
#ifndef _WIN32
  const std::string fifo = (dir / "fifo.xml").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(doc.load(fifo));
#endif
}

TEST(XmlDocument, HostileDocumentsCannotBeLoadedAndReadNoFile) {
#ifdef _WIN32
  GTEST_SKIP() << "it watches file opens with inotify, which is Linux's";
#else
  TempDir dir;
  const std::string secret = (dir / "secret.txt").string();
  TempDir::write(secret, "SECRET");

  // Any attempt to open the named file shows up here.
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, secret.c_str(), IN_OPEN | IN_ACCESS), 0);

  std::string laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
  laughs += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) laughs += "&lol" + std::to_string(i - 1) + ";";
    laughs += "\">\n";
  }
  laughs += "]>\n<lolz>&lol9;</lolz>\n";

  const std::string external =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret + "\">]>\n<r>&x;</r>";
  const std::string externalDtd = "<!DOCTYPE r SYSTEM \"" + secret + "\"><r/>";
  const std::string parameter = "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]><r/>";
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<a>";
  deep += "x";
  for (int i = 0; i < 10000; ++i) deep += "</a>";

  const std::string file = (dir / "config.xml").string();
  for (const std::string* bytes :
       std::initializer_list<const std::string*>{&laughs, &external, &externalDtd, &parameter, &deep}) {
    TempDir::write(file, *bytes);
    XmlDocument doc;
    EXPECT_FALSE(doc.load(file)) << bytes->substr(0, 60);
    EXPECT_FALSE(doc.isOpen());
  }

  char events[4096];
  EXPECT_LT(::read(watch, events, sizeof events), 0) << "the parser opened the file an entity names";
  ::close(watch);
#endif
}
