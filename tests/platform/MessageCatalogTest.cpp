// The message catalog reader on the build's own Polish "cport" catalog, as
// msgfmt wrote it: texts come out in Windows-1250, and no cut of the file
// makes the reader fail or read past its end.
#include "platform/MessageCatalog.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Cp1250.h"
#include "platform/WholeFile.h"

namespace {

TEST(MessageCatalog, TranslatesTheBuildsPolishCatalogIntoWindows1250) {
  std::string bytes;
  ASSERT_EQ(platform::readWholeFile(TERSO_BUILD_LOCALE "/pl/LC_MESSAGES/cport.mo", 1 << 20, bytes), 0);
  const platform::MessageCatalog catalog = platform::MessageCatalog::parse(bytes);
  ASSERT_NE(catalog.find("Unable to open com port"), nullptr);
  EXPECT_EQ(catalog.find("Unable to open com port"), platform::pl("Nie można otworzyć portu szeregowego"));
  EXPECT_NE(std::string(catalog.find(" (win error code: %d)")).find("%d"), std::string::npos);
  EXPECT_EQ(catalog.find("No such text"), nullptr);
  EXPECT_EQ(catalog.find(""), nullptr);

  for (std::size_t size = 0; size < bytes.size(); ++size) {
    const std::string cut = bytes.substr(0, size);
    EXPECT_EQ(platform::MessageCatalog::parse(cut).find("Unable to open com port"), nullptr) << size;
  }
  std::string foreign = bytes;
  foreign[0] ^= 1;
  EXPECT_TRUE(platform::MessageCatalog::parse(foreign).empty());
  EXPECT_TRUE(platform::MessageCatalog::load(TERSO_BUILD_LOCALE "/xx/LC_MESSAGES/cport.mo").empty());
}

}  // namespace
