// The target dialog's entries from the local router, and what choosing one sets.
#include <gtest/gtest.h>

#include "FakePlant.h"
#include "link/Routes.h"

namespace {

std::vector<uint8_t> Records(const std::vector<std::pair<std::string, oxa::NetId>>& routes) {
  std::vector<uint8_t> out(routes.size() * axlink::kRouteRecordSize, 0);
  for (size_t i = 0; i < routes.size(); ++i) {
    uint8_t* rec = out.data() + i * axlink::kRouteRecordSize;
    const std::string& name = routes[i].first;
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 36), rec + axlink::kRouteNameOffset);
    std::copy_n(routes[i].second.b.begin(), 6, rec + axlink::kRouteNetIdOffset);
  }
  return out;
}

TEST(RoutesTest, NoDialogWithoutRoutesOrWhenTheRouterFails) {
  for (std::optional<int32_t> count :
       {std::optional<int32_t>{0}, std::optional<int32_t>{-3}, std::optional<int32_t>{},
        std::optional<int32_t>{2}, std::optional<int32_t>{0x7FFFFFFF}}) {
    fake::Plant p;
    p.routeCount = count;
    p.routeRecords = Records({{"only one", {}}});  // a list shorter than the count fails
    EXPECT_TRUE(axlink::ReadTargetEntries(p).empty()) << count.value_or(-99);
  }
}

TEST(RoutesTest, NamesAreCutAt35CharactersWithoutTerminator) {
  std::vector<uint8_t> rec = Records({{std::string(36, 'R'), {{1, 2, 3, 4, 5, 6}}}});
  const auto routes = axlink::DecodeRouteRecords(rec, 49);
  ASSERT_EQ(routes.size(), 1u);
  EXPECT_EQ(routes[0].name, std::string(35, 'R'));
  EXPECT_EQ(routes[0].netId, (oxa::NetId{{1, 2, 3, 4, 5, 6}}));
  // A partial record is no route.
  rec.pop_back();
  EXPECT_TRUE(axlink::DecodeRouteRecords(rec, 49).empty());
}

TEST(RoutesTest, ChoosingAnEntrySetsNetIdTitleAndAddressText) {
  const std::vector<axlink::TargetEntry> entries{{"Local", {{192, 168, 0, 10, 1, 1}}},
                                                 {"Press line 2", {{5, 33, 120, 7, 1, 1}}}};
  auto local = axlink::ChooseTarget(entries, 0);
  ASSERT_TRUE(local);
  EXPECT_EQ(local->title, "Axtune -> Local");
  EXPECT_EQ(local->addressText, "192.168.0.10.1.1");
  auto remote = axlink::ChooseTarget(entries, 1);
  ASSERT_TRUE(remote);
  EXPECT_EQ(remote->title, "Axtune -> Press line 2");
  EXPECT_EQ(remote->netId, entries[1].netId);
  EXPECT_EQ(remote->addressText, "5.33.120.7.1.1");
  EXPECT_FALSE(axlink::ChooseTarget(entries, 2));
}

}  // namespace
