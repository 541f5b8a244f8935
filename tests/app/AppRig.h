// The main window on two emulated controllers in this process: the local one with a CV2 and a
// CV3 server, and a remote one that the route table names. Dialogs are replaced by hooks.
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "common/FakeOxa.h"
#include "i18n/StringTable.h"
#include "link/DocUi.h"
#include "oxa/OxaDirect.h"
#include "sim/Plant.h"

namespace apptest {

inline const oxa::NetId kLocal{{127, 0, 0, 1, 1, 1}};
inline const oxa::NetId kRemote{{127, 0, 0, 2, 1, 1}};

// Counts the requests that reach the controllers; can refuse to open the port.
class CountingOxa final : public oxa::IOxa {
 public:
  explicit CountingOxa(oxa::IOxa& inner) : inner_(inner) {}
  bool failOpen = false;
  int requests = 0;

  long OxaPortOpen() override { return failOpen ? 0 : inner_.OxaPortOpen(); }
  int32_t OxaPortClose() override { return inner_.OxaPortClose(); }
  int32_t OxaGetLocalAddress(oxa::OxaAddr* addr) override {
    return failOpen ? oxa::kErrTargetMachineNotFound : inner_.OxaGetLocalAddress(addr);
  }
  int32_t OxaSyncSetTimeout(int32_t ms) override { return inner_.OxaSyncSetTimeout(ms); }
  int32_t OxaSyncReadReq(const oxa::OxaAddr* addr, uint32_t group, uint32_t offset, uint32_t length,
                         void* data) override {
    ++requests;
    return inner_.OxaSyncReadReq(addr, group, offset, length, data);
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr* addr, uint32_t group, uint32_t offset,
                          uint32_t length, const void* data) override {
    ++requests;
    return inner_.OxaSyncWriteReq(addr, group, offset, length, data);
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr* addr, uint32_t group, uint32_t offset,
                              uint32_t readLength, void* readData, uint32_t writeLength,
                              const void* writeData) override {
    ++requests;
    return inner_.OxaSyncReadWriteReq(addr, group, offset, readLength, readData, writeLength,
                                      writeData);
  }

 private:
  oxa::IOxa& inner_;
};

// The trend recorder's port, on the recorder's thread: counts the requests and answers none.
class SilentRecorderOxa final : public fakeoxa::ScriptBase {
 public:
  explicit SilentRecorderOxa(std::atomic<int>& requests) : requests_(requests) {}
  int32_t OxaSyncReadReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*) override {
    return Refused();
  }
  int32_t OxaSyncWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, const void*) override {
    return Refused();
  }
  int32_t OxaSyncReadWriteReq(const oxa::OxaAddr*, uint32_t, uint32_t, uint32_t, void*, uint32_t,
                              const void*) override {
    return Refused();
  }

 private:
  int32_t Refused() {
    ++requests_;
    return oxa::kErrTimeout;
  }
  std::atomic<int>& requests_;
};

class RecordingUi final : public axlink::IDocUi {
 public:
  std::vector<std::string> boxes;
  // Runs while a box is "open", as the timer would.
  std::function<void()> whileOpen;
  void MessageBox(const std::string& text) override {
    boxes.push_back(text);
    if (whileOpen) whileOpen();
  }
  void RequestRedisplay() override {}
};

struct Rig {
  explicit Rig(bool failOpen = false, uint16_t language = i18n::kEnglish);
  ~Rig();

  std::unique_ptr<sim::Plant> local;
  std::unique_ptr<sim::Plant> remote;
  std::unique_ptr<oxa::OxaDirect> direct;
  std::unique_ptr<CountingOxa> oxa;
  i18n::StringTable strings;
  RecordingUi ui;
  // What the hooks answer and saw.
  QString nextFile;
  int fileDialogs = 0;
  std::function<void()> whileFileDialog;  // runs while the open-file dialog is "open"
  int targetChoice = -1;
  std::vector<std::string> targetNames;
  QTemporaryDir journalDir;   // the window journals here
  QString journalExport;      // the CSV file File > Journal exports to
  QTemporaryDir settingsDir;  // the window's settings are kept here
  std::unique_ptr<QSettings> settings;
  std::atomic<int> recorderRequests{0};  // what the trend recorder asked
  // A frame as the window makes one, with the hooks above.
  FrameHooks Hooks();
  std::unique_ptr<CMainFrame> frame;
};

}  // namespace apptest
