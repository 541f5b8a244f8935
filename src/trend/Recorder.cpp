#include "trend/Recorder.h"

namespace trend {

Recorder::Recorder(OxaFactory factory, IClock& clock, size_t capacity)
    : factory_(std::move(factory)), clock_(clock), ring_(std::make_unique<SampleRing>(capacity)) {}

Recorder::~Recorder() {
  Stop();
}

bool Recorder::Start(const RecordTarget& target, double rateHz) {
  if (Running() || !factory_) return false;
  ring_->Clear();
  stop_ = false;
  reads_ = 0;
  failures_ = 0;
  lastError_ = 0;
  portFailed_ = false;
  rateHz_ = Sampler::ClampRate(rateHz);
  thread_ = std::thread([this, target, rate = rateHz_.load()] { Run(target, rate); });
  return true;
}

void Recorder::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  thread_.join();
}

bool Recorder::Resize(size_t capacity) {
  if (Running()) return false;
  ring_ = std::make_unique<SampleRing>(capacity);
  return true;
}

void Recorder::Run(RecordTarget target, double rateHz) {
  std::unique_ptr<oxa::IOxa> oxa = factory_();
  if (!oxa || oxa->OxaPortOpen() == 0) {
    portFailed_ = true;
    return;
  }
  oxa->OxaSyncSetTimeout(Sampler::kTimeoutMs);
  Sampler sampler(*oxa, target, rateHz, clock_, *ring_);
  while (!stop_.load()) {
    sampler.Tick();
    reads_ = sampler.Reads();
    failures_ = sampler.Failures();
    lastError_ = sampler.LastError();
  }
  oxa->OxaPortClose();
}

}  // namespace trend
