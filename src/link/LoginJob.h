// A login that runs on another thread than the one that owns the window's lists and the
// document.
//
// The scan fills lists, link versions and status texts of the job's own; nothing outside the job
// is touched but the Oxa connection, which the caller leaves to the job while it runs. Apply, on
// the owner's thread once the job is done, logs the owner out and hands everything over, so the
// document and the lists only ever see one thread.
#pragma once

#include <string>

#include "link/AxisList.h"
#include "link/Login.h"

namespace axlink {

class LoginJob {
 public:
  LoginJob(oxa::IOxa& oxa, long portHandle, const oxa::NetId& target, std::string targetTitle);

  // The scan; `progress` (may be null) is told on the calling thread.
  void Run(ILoginProgress* progress);
  // Logs `env` out and gives it what the scan found: lists, versions and status texts. Returns
  // true when the login went online.
  bool Apply(const LoginEnv& env) const;

  const AxisList& Lists() const { return lists_; }

 private:
  class Document final : public ILoginDocument {
   public:
    void ResetLink() override { stored = false; }
    void StoreLinkVersions(const model::LibVersion& newLib,
                           const model::RecordVersionTable& newTable) override {
      lib = newLib;
      table = newTable;
      stored = true;
    }
    // As login handed them over, before the V2.0.x words are filled in.
    model::LibVersion lib;
    model::RecordVersionTable table = kUnreadVersionTable;
    bool stored = false;
  };

  oxa::IOxa& oxa_;
  long portHandle_;
  oxa::NetId target_;
  std::string targetTitle_;
  AxisList lists_;
  Document document_;
  FrameStatus status_;
  bool online_ = false;
};

}  // namespace axlink
