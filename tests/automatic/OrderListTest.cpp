// The order list's row operations with their numbering, "PORT", and the
// validation, which reads a decimal point or comma whatever the locale.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EditorFixture.h"
#include "platform/WholeNumbers.h"

namespace automatic_test {
namespace {

using OrderListTest = EditorFixture;

Row order(const std::string& number, const std::string& text) {
  return {number, text, "5", "s", "1", "3", ""};
}

TEST_F(OrderListTest, WstawFillsAFreshListInsertsBelowTheCurrentRowOrAppendsAtTheEnd) {
  // A fresh list: its blank row 1 takes the new order.
  EXPECT_EQ(form2.AddStringGridRow(true), 1);
  EXPECT_EQ(rows(), (std::vector<Row>{{"1", "SI", "5", "s", "1", "3", ""}}));

  // Row 2 of five current: the new order becomes row 3, the rest move down.
  fiveOrders();
  form2.StringGrid1.setRow(2);
  form2.BitBtnAdd.click();
  EXPECT_EQ(form2.StringGrid1.rowCount(), 7);
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "A"), order("2", "B"), order("3", "SI"), order("4", "C"),
                                      order("5", "D"), order("6", "E")}));

  // The last row current: appended.
  fiveOrders();
  form2.StringGrid1.setRow(5);
  EXPECT_EQ(form2.AddStringGridRow(true), 6);
  EXPECT_EQ(form2.StringGrid1.rowCells(6), order("6", "SI"));
  EXPECT_EQ(form2.StringGrid1.rowCells(5), order("5", "E"));
}

TEST_F(OrderListTest, AnEmptyCzasEndsTheListAndWhatFollowsItIsCutOff) {
  fiveOrders();
  form2.StringGrid1.setCell(automatic::colTime, 3, "");
  form2.StringGrid1.setRow(1);
  EXPECT_EQ(form2.AddStringGridRow(true), 3);
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "A"), order("2", "SI"), order("3", "B")}));

  fiveOrders();
  form2.StringGrid1.setCell(automatic::colTime, 3, "");
  form2.StringGrid1.setRow(1);
  EXPECT_EQ(form2.AddStringGridRow(false), 3);
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "A"), order("2", "B"), order("3", "SI")}));
  // The cut rows keep nothing when the list grows again.
  form2.StringGrid1.setRowCount(6);
  EXPECT_EQ(form2.StringGrid1.rowCells(4), Row(7));
}

TEST_F(OrderListTest, UsunEmptiesTheOnlyRowOrClosesTheGapWithNewNumbers) {
  fill({order("1", "A")});
  form2.BitBtnDelete.click();
  EXPECT_EQ(form2.StringGrid1.rowCount(), 2);
  EXPECT_EQ(rows(), (std::vector<Row>{Row(7)}));

  fill({order("1", "A"), order("2", "B"), order("7", "C"), order("9", "D")});
  form2.StringGrid1.setRow(2);
  form2.DeleteStringGridRow();
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "A"), order("2", "C"), order("3", "D")}));
}

TEST_F(OrderListTest, GoraAndDolMoveTheOrderWithItsNumbersAndChangeNothingAtTheEnds) {
  fill({order("1", "A"), order("2", "B"), order("3", "C")});
  const std::vector<Row> before = rows();
  form2.StringGrid1.setRow(1);
  form2.BitBtnUp.click();
  form2.StringGrid1.setRow(3);
  form2.BitBtnDown.click();
  EXPECT_EQ(rows(), before);
  EXPECT_EQ(form2.StringGrid1.row(), 3);

  form2.StringGrid1.setRow(2);
  form2.BitBtnUp.click();
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "B"), order("2", "A"), order("3", "C")}));
  EXPECT_EQ(form2.StringGrid1.row(), 1);  // the selection follows the order
  form2.BitBtnDown.click();
  form2.BitBtnDown.click();
  EXPECT_EQ(rows(), (std::vector<Row>{order("1", "A"), order("2", "C"), order("3", "B")}));
  EXPECT_EQ(form2.StringGrid1.row(), 3);

  // A number that is no whole number counts as 1 going up, -1 going down.
  fill({order("1", "A"), order("x", "B")});
  form2.StringGrid1.setRow(2);
  form2.BitBtnUp.click();
  EXPECT_EQ(rows(), (std::vector<Row>{order("0", "B"), order("1", "A")}));
  form2.StringGrid1.setCell(automatic::colNumber, 1, "");
  form2.BitBtnDown.click();
  EXPECT_EQ(rows(), (std::vector<Row>{order("-1", "A"), order("0", "B")}));

  // A single order row stays.
  fill({order("4", "A")});
  form2.BitBtnUp.click();
  form2.BitBtnDown.click();
  EXPECT_EQ(rows(), (std::vector<Row>{order("4", "A")}));
}

TEST_F(OrderListTest, PortCopiesTheFirstOrdersLinkToEveryOtherOrder) {
  fill({{"1", "A", "5", "s", "1", "2", "9600"},
        {"2", "B", "5", "s", "1", "192.168.1.5", "1001"},
        {"3", "C", "5", "s", "1", "", ""}});
  form2.BitBtn1.click();
  for (const Row& r : rows()) {
    EXPECT_EQ(r[automatic::colLink], "2");
    EXPECT_EQ(r[automatic::colSpeed], "9600");
  }
  EXPECT_EQ(rows()[1][automatic::colOrder], "B");
}

TEST_F(OrderListTest, CheckOrdersStopsAtTheFirstInvalidCell) {
  struct Case {
    int col;
    std::string text;
  };
  const Case invalid[] = {{automatic::colUnit, "S"},      {automatic::colUnit, "min"},
                          {automatic::colRepeats, "1.5"}, {automatic::colTime, "abc"},
                          {automatic::colTime, "2,5,"},   {automatic::colNumber, "1a"},
                          {automatic::colOrder, ""},      {automatic::colTime, ""}};
  for (const Case& c : invalid) {
    fill({order("1", "A"), order("2", "B"), order("3", "C")});
    form2.StringGrid1.setCell(c.col, 2, c.text);
    form2.StringGrid1.setCell(c.col, 3, c.text);
    EXPECT_FALSE(form2.CheckOrders()) << c.text;
    EXPECT_EQ(form2.StringGrid1.row(), 2) << c.text;
    EXPECT_EQ(form2.StringGrid1.col(), c.col) << c.text;
  }

  // A blank list fails at its first cell.
  fill({});
  EXPECT_FALSE(form2.CheckOrders());
  EXPECT_EQ(form2.StringGrid1.row(), 1);
  EXPECT_EQ(form2.StringGrid1.col(), 0);

  fill({{"1", "wait", "0", "m", "2", "", ""},
        {"2", "repeat", "1", "h", "3", "any text", "x y"},
        {"3", "beep", "1.5", "s", "-1", "", ""}});
  EXPECT_TRUE(form2.CheckOrders());

  // A file made under either locale runs under the other.
  for (char regional : {',', '.'}) {
    automatic::setDecimalSeparator(regional);
    fill({{"1", "SI", "2,5", "s", "1", "", ""}, {"2", "SI", "0.5", "s", "1", "", ""}});
    EXPECT_TRUE(form2.CheckOrders()) << regional;
  }
}

TEST(DecimalNumbersTest, ReadsDecimalNumbersWithAPointOrAComma) {
  automatic::setDecimalSeparator(',');
  double v = 0;
  const struct {
    const char* text;
    double value;
  } valid[] = {{"2,5", 2.5},   {" -0,25 ", -0.25}, {",5", 0.5},  {"5,", 5},
               {"+1e3", 1000}, {"1,5E-1", 0.15},   {"2.5", 2.5}, {"-.25", -0.25}};
  for (const auto& c : valid) {
    ASSERT_TRUE(automatic::tryParseDecimal(c.text, v)) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
  for (const char* text :
       {"", " ", "1,2,3", "1.000,5", "1,000.5", ",", ".", "-", "1e", "1 5", "0x10", "inf", "1,5s"})
    EXPECT_FALSE(automatic::tryParseDecimal(text, v)) << text;
  EXPECT_THROW(
      {
        try {
          automatic::parseDecimal("abc");
        } catch (const platform::ConversionError& e) {
          EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
          throw;
        }
      },
      platform::ConversionError);
  automatic::setDecimalSeparator('.');
  ASSERT_TRUE(automatic::tryParseDecimal("2,5", v));
  EXPECT_DOUBLE_EQ(v, 2.5);
}

}  // namespace
}  // namespace automatic_test
