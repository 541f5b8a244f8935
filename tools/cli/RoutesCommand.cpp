// axtune-cli routes: the entries of the target dialog ("Local" and the routes of the local
// router), each with the NetId and window title that choosing it sets.
#include <nlohmann/json.hpp>
#include <ostream>

#include "link/Routes.h"
#include "tools/cli/Cli.h"

namespace cli {

namespace {

int RunRoutes(Context& ctx) {
  std::string error;
  auto conn = Connection::Open(ctx, error);
  if (!conn) {
    PrintError(*ctx.err, error);
    return kExitUsage;
  }
  // No local address or no route: the dialog would not open, the list is empty.
  const auto entries = axlink::ReadTargetEntries(conn->Oxa());
  nlohmann::json list = nlohmann::json::array();
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto choice = axlink::ChooseTarget(entries, i);
    list.push_back({{"index", i},
                    {"name", ToUtf8(entries[i].name)},
                    {"netId", choice->addressText},
                    {"title", ToUtf8(choice->title)}});
  }
  *ctx.out << nlohmann::json{{"entries", std::move(list)}}.dump(2) << "\n";
  return 0;
}

}  // namespace

void RegisterRoutes(CLI::App& app, Context& ctx) {
  auto* sub = app.add_subcommand("routes", "List the target systems the local router knows");
  sub->callback([&ctx] { ctx.exitCode = RunRoutes(ctx); });
}

}  // namespace cli
