#include "dm/PageImage.h"

#include <gtest/gtest.h>

#include <list>
#include <map>
#include <random>
#include <vector>

namespace zk::dm {
namespace {

struct Node {
  uint32_t address;
  int id;
};

// The sorted insertion as a list does it: a bigger head gives way; else the
// walk goes on while the node's address is greater than the successor's.
std::vector<int> ListOrder(const std::vector<uint32_t>& addresses) {
  std::list<Node> list;
  for (int id = 0; id < static_cast<int>(addresses.size()); ++id) {
    const Node node{addresses[static_cast<std::size_t>(id)], id};
    if (list.empty() || list.front().address > node.address) {
      list.push_front(node);
      continue;
    }
    auto at = list.begin();
    for (auto next = std::next(at); next != list.end() && node.address > next->address; ++next) at = next;
    list.insert(std::next(at), node);
  }
  std::vector<int> order;
  for (const Node& n : list) order.push_back(n.id);
  return order;
}

std::vector<int> BuilderOrder(const std::vector<uint32_t>& addresses) {
  PageImageBuilder builder;
  std::map<const uint8_t*, int> ids;
  for (int id = 0; id < static_cast<int>(addresses.size()); ++id) {
    ids[builder.Add(addresses[static_cast<std::size_t>(id)], 1)] = id;
  }
  const PageImage image = builder.Finish();
  std::vector<int> order;
  for (const Page& page : image.Pages()) order.push_back(ids.at(page.data));
  return order;
}

TEST(PageOrder, EqualAddressesAsTheSortedListPlacesThem) {
  // A head of the same address keeps its place; later equals go right after
  // it; once a lower address leads, equals go before the others.
  const std::vector<uint32_t> addresses = {0x20, 0x20, 0x20, 0x10, 0x20, 0x20, 0x30, 0x10, 0x30};
  EXPECT_EQ(BuilderOrder(addresses), ListOrder(addresses));
  EXPECT_EQ(ListOrder(addresses), (std::vector<int>{3, 7, 5, 4, 0, 2, 1, 8, 6}));
}

TEST(PageOrder, RandomSequencesMatchTheList) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    const int n = static_cast<int>(random() % 60);
    const uint32_t spread = 1 + random() % 12;
    std::vector<uint32_t> addresses;
    for (int i = 0; i < n; ++i) addresses.push_back(0xFFFFFFF0u + static_cast<uint32_t>(random() % spread) * 8);
    ASSERT_EQ(BuilderOrder(addresses), ListOrder(addresses)) << "round " << round;
  }
}

TEST(PageOrder, DescendingAndAscendingFilesGiveTheSameList) {
  std::vector<uint32_t> ascending;
  for (uint32_t a = 0; a < 1000; ++a) ascending.push_back(a * 16);
  const std::vector<uint32_t> descending(ascending.rbegin(), ascending.rend());
  PageImageBuilder up;
  PageImageBuilder down;
  for (const uint32_t a : ascending) up.Add(a, 16);
  for (const uint32_t a : descending) down.Add(a, 16);
  const PageImage upImage = up.Finish();
  const PageImage downImage = down.Finish();
  ASSERT_EQ(upImage.PageCount(), 1000u);
  ASSERT_EQ(downImage.PageCount(), 1000u);
  for (std::size_t i = 0; i < 1000; ++i) {
    EXPECT_EQ(upImage.Pages()[i].address, i * 16);
    EXPECT_EQ(downImage.Pages()[i].address, i * 16);
  }
  EXPECT_EQ(downImage.ByteCount(), 16000u);
}

TEST(PageOrder, PageBytesStayWhereTheyWereWritten) {
  PageImageBuilder builder;
  for (int i = 0; i < 5000; ++i) {
    uint8_t* data = builder.Add(static_cast<uint32_t>(5000 - i), 255);
    std::fill(data, data + 255, static_cast<uint8_t>(i));
  }
  const PageImage image = builder.Finish();
  for (const Page& page : image.Pages()) {
    const auto expected = static_cast<uint8_t>(5000 - page.address);
    ASSERT_EQ(page.length, 255);
    EXPECT_EQ(page.data[0], expected);
    EXPECT_EQ(page.data[254], expected);
  }
}

}  // namespace
}  // namespace zk::dm
