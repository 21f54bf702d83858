#include "app/order_rotation.h"

#include <algorithm>
#include <random>

#include "app/app_test_util.h"

namespace korvex::app::testing {
namespace {

using framework::kOutcomeDone;
using framework::kOutcomeFailed;
using framework::kOutcomeRejected;
using Names = std::vector<std::string>;

class OrderRotationTest : public DictionaryTest {
 protected:
  void FiveCustomers() {
    AddCustomers({Customer(10, "Amber"), Customer(20, "Basil"), Customer(30, "Cedar"),
                  Customer(40, "Delta"), Customer(50, "Ember")});
    AddGoods(20, "Kettle");
    AddGoods(40, "Lamp");
  }
};

TEST_F(OrderRotationTest, DraggedCustomerTakesTheDropRowsPlace) {
  FiveCustomers();
  const auto goods = GoodsIn(folder_);
  ASSERT_EQ(MoveRows(2, 4), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Cedar", "Delta", "Basil", "Ember"}));
  EXPECT_EQ(Page(), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  // The buffer holds the dragged customer with its new number.
  EXPECT_EQ(RowFrom(CustomerRecord()), Customer(40, "Basil"));
  EXPECT_EQ(values_.step_direction, 1);
  EXPECT_EQ(values_.held_order, 40);

  ASSERT_EQ(MoveRows(4, 2), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Basil", "Cedar", "Delta", "Ember"}));
  EXPECT_EQ(values_.step_direction, -1);
  // Every customer kept its other fields; the goods kept their customer numbers.
  const auto rows = CustomersIn(folder_);
  for (const CustomerRow& r : rows) EXPECT_EQ(r, Customer(r.id, r.name));
  EXPECT_EQ(GoodsIn(folder_), goods);
  EXPECT_TRUE(display_.shown.empty());
}

TEST_F(OrderRotationTest, NeighboursSwapAndEndsRotateTheWholePage) {
  FiveCustomers();
  ASSERT_EQ(MoveRows(3, 4), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Basil", "Delta", "Cedar", "Ember"}));
  ASSERT_EQ(MoveRows(4, 3), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Basil", "Cedar", "Delta", "Ember"}));
  ASSERT_EQ(MoveRows(1, 5), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Basil", "Cedar", "Delta", "Ember", "Amber"}));
  ASSERT_EQ(MoveRows(5, 1), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Basil", "Cedar", "Delta", "Ember"}));
  EXPECT_EQ(Page(), (std::vector<int32_t>{10, 20, 30, 40, 50}));
}

TEST_F(OrderRotationTest, BrokenPreconditionsChangeNothingAndSayNothing) {
  FiveCustomers();
  std::vector<int32_t> page = Page();
  LoadRow(page, 2);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 2, page, values_), kOutcomeRejected);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 0, page, values_), kOutcomeRejected);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 6, page, values_), kOutcomeRejected);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 0, 2, page, values_), kOutcomeRejected);
  // The buffer does not hold the customer of the drag row.
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 3, 1, page, values_), kOutcomeRejected);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 1, 2, {}, values_), kOutcomeRejected);
  EXPECT_TRUE(display_.shown.empty());
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Basil", "Cedar", "Delta", "Ember"}));
}

TEST_F(OrderRotationTest, FailuresRollBackReportOnceAndKeepTheDraggedCustomer) {
  FiveCustomers();
  // Someone holds the parking number: the park is refused.
  AddCustomers({Customer(kParkingOrder, "Parked")});
  std::vector<int32_t> page = {10, 20, 30, 40, 50};
  const auto before = CustomersIn(folder_);
  LoadRow(page, 2);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 4, page, values_), kOutcomeFailed);
  ASSERT_EQ(display_.shown.size(), 1u);
  EXPECT_EQ(display_.shown[0].title, "Record was not updated");
  EXPECT_EQ(RowFrom(CustomerRecord()), Customer(20, "Basil"));
  EXPECT_EQ(CustomersIn(folder_), before);
  int32_t parked = kParkingOrder;
  std::memcpy(CustomerRecord(), &parked, 4);
  ASSERT_EQ(CustomerFile.FetchQuiet(&kCusById), kOutcomeDone);
  ASSERT_EQ(CustomerFile.Call(kOpDelete), 0);
  const auto without_parked = CustomersIn(folder_);

  // A row renumbered by someone else since the page was read: the move stops
  // at the failed fetch, without writing the cleared or stale buffer anywhere.
  page = {10, 20, 33, 40, 50};
  LoadRow(page, 2);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 4, page, values_), kOutcomeFailed);
  ASSERT_EQ(display_.shown.size(), 2u);
  EXPECT_EQ(display_.shown[1].title, "Record Was Not Updated");
  EXPECT_EQ(RowFrom(CustomerRecord()), Customer(20, "Basil"));
  EXPECT_EQ(CustomersIn(folder_), without_parked);

  // The dragged customer changed since it was read.
  page = {10, 20, 30, 40, 50};
  LoadRow(page, 2);
  std::memcpy(CustomerRecord() + 4, "Stale", 5);
  EXPECT_EQ(RotateOrderNumbers(CustomerFile, 2, 4, page, values_), kOutcomeFailed);
  EXPECT_EQ(display_.shown.size(), 3u);
  EXPECT_EQ(display_.shown[2].title, "Record Was Not Updated");
  EXPECT_EQ(CustomersIn(folder_), without_parked);
  // With a page that matches the file the same move works.
  ASSERT_EQ(MoveRows(2, 4), kOutcomeDone);
  EXPECT_EQ(NamesInOrder(), (Names{"Amber", "Cedar", "Delta", "Basil", "Ember"}));
}

TEST_F(OrderRotationTest, RandomMovesKeepTheNumberSetAndMatchAModel) {
  std::mt19937 random(20261208);
  std::vector<CustomerRow> rows;
  int32_t id = 0;
  for (int i = 0; i < 16; ++i) {
    id += 1 + static_cast<int32_t>(random() % 25);  // gaps of any size
    rows.push_back(Customer(id, Numbered("Cust", i)));
  }
  AddCustomers(rows);
  AddGoods(rows[3].id, "Chair");
  AddGoods(rows[7].id, "Table");
  const auto goods = GoodsIn(folder_);
  std::vector<int32_t> ids;
  Names model;
  for (const CustomerRow& r : rows) {
    ids.push_back(r.id);
    model.push_back(r.name);
  }
  for (int move = 0; move < 2000; ++move) {
    // A page of up to 8 rows somewhere in the list.
    const int size = 2 + static_cast<int>(random() % 7);
    const int first = static_cast<int>(random() % (ids.size() - size + 1));
    std::vector<int32_t> page(ids.begin() + first, ids.begin() + first + size);
    const int drag = 1 + static_cast<int>(random() % size);
    int drop = 1 + static_cast<int>(random() % size);
    if (drop == drag) drop = drag == size ? 1 : drag + 1;
    LoadRow(page, drag);
    ASSERT_EQ(RotateOrderNumbers(CustomerFile, drag, drop, page, values_), kOutcomeDone);
    auto from = model.begin() + first + drag - 1;
    auto to = model.begin() + first + drop - 1;
    if (drag < drop) {
      std::rotate(from, from + 1, to + 1);
    } else {
      std::rotate(to, from, from + 1);
    }
    if (move % 100 == 99) {
      ASSERT_EQ(Page(), ids) << "move " << move;
      ASSERT_EQ(NamesInOrder(), model) << "move " << move;
    }
  }
  const auto final_rows = CustomersIn(folder_);
  for (const CustomerRow& r : final_rows) EXPECT_EQ(r, Customer(r.id, r.name));
  EXPECT_EQ(CustomersIn(folder_, &kCusByName).size(), rows.size());
  EXPECT_EQ(GoodsIn(folder_), goods);
  EXPECT_TRUE(display_.shown.empty());
}

}  // namespace
}  // namespace korvex::app::testing
