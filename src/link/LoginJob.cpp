#include "link/LoginJob.h"

namespace axlink {

LoginJob::LoginJob(oxa::IOxa& oxa, long portHandle, const oxa::NetId& target,
                   std::string targetTitle)
    : oxa_(oxa), portHandle_(portHandle), target_(target), targetTitle_(std::move(targetTitle)) {}

void LoginJob::Run(ILoginProgress* progress) {
  LoginEnv env;
  env.oxa = &oxa_;
  env.portHandle = portHandle_;
  env.target = target_;
  env.targetTitle = targetTitle_;
  env.lists = &lists_;
  env.document = &document_;
  env.status = &status_;
  env.progress = progress;
  online_ = Login(env);
}

bool LoginJob::Apply(const LoginEnv& env) const {
  Logout(env);
  if (!online_ || !env.lists || !env.document) return false;
  for (const ServerNode& server : lists_.Servers()) {
    const int item = env.lists->AddServer(server.caption, server.addr, server.lib);
    for (const AxisNode& axis : server.axes) {
      env.lists->AddAxis(item, axis.name, axis.number, axis.lib);
    }
    env.lists->SetServerVersions(item, server.versions);
  }
  for (const OverviewEntry& entry : lists_.Overview()) {
    env.lists->AddOverviewEntry(entry.name, entry.addr, entry.number);
  }
  env.document->StoreLinkVersions(document_.lib, document_.table);
  if (env.status) *env.status = status_;
  return true;
}

}  // namespace axlink
