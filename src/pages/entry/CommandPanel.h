// The command panel below the pages and the function keys: what each button and key sends to
// the current axis, and what it checks first.
//
// Every command goes through the document, which sends nothing while the communication is
// stopped; the jog state follows the keys even then.
#pragma once

#include <cstdint>
#include <string>

#include "link/AxtuneDoc.h"

namespace entry {

// Buttons of the command row.
inline constexpr int kButtonSave = 500;
inline constexpr int kButtonLoad = 501;
inline constexpr int kButtonReset = 502;
inline constexpr int kButtonStart = 503;
inline constexpr int kButtonDownload = 504;
inline constexpr int kButtonHome = 505;
inline constexpr int kButtonSetPos = 506;

// "Input is not ok, please review!", after a Start with a bad destination or velocity.
inline constexpr uint32_t kTextInputNotOk = 25000;
// SetPos shows its complaint in German in every language.
inline constexpr const char* kSetPosInputNotOk = "Eingabe war nicht korrekt, bitte überprüfen!";

// The panel's two edit boxes: "Start axis: Destination [mm]" (also the new position of SetPos)
// and "Velocity [mm/s]".
enum class PanelBox : uint8_t { Destination, Velocity };

class IPanelInputs {
 public:
  virtual ~IPanelInputs() = default;
  virtual std::string Text(PanelBox box) const = 0;
  virtual void SetText(PanelBox box, const std::string& text) = 0;
};

class CCommandPanel {
 public:
  explicit CCommandPanel(CAxtuneDoc& doc) : doc_(doc) {}

  // The edit boxes, not owned; without them Start and SetPos act only where they need no text
  // (the characteristic run on LinTab).
  void SetInputs(IPanelInputs* inputs) { inputs_ = inputs; }

  // Save, Load, Reset, Start, Home and SetPos for the current `page`. False for any other id
  // (Download belongs to DownloadPage).
  bool OnButton(int id, int page);

  // LinTab: the characteristic run. Encoder: nothing. Elsewhere a move to the cleaned
  // destination at the cleaned velocity (no minus sign), or the complaint of string 25000 when
  // either text was unclean or does not parse. Both boxes get their cleaned texts.
  void OnStart(int page);
  // Encoder page only: the actual position set to the cleaned destination and a redisplay
  // requested, or the German complaint.
  void OnSetPos(int page);

  // The key command of the page view (keys 1 to 12 for F1 to F12). Down: F1 to F4 jog (not on
  // Encoder), F5 starts as the Start button (not on Encoder, not while jogging), F6 stops, F8
  // resets. Up: a running jog is stopped.
  void KeyCommand(int page, bool down, int key);

 private:
  CAxtuneDoc& doc_;
  IPanelInputs* inputs_ = nullptr;
};

}  // namespace entry
