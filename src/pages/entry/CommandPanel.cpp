#include "pages/entry/CommandPanel.h"

#include "link/Commands.h"
#include "pages/entry/KeyCommand.h"
#include "pages/entry/NumberText.h"

namespace entry {
namespace {

// Cleans a box's text, writes it back and parses it; false when it was unclean or no number.
bool CleanedValue(IPanelInputs& inputs, PanelBox box, bool allowNegative, double& value) {
  std::string text = inputs.Text(box);
  const bool clean = CleanNumberText(text, allowNegative);
  inputs.SetText(box, text);
  return ScanReal(text, value) && clean;
}

}  // namespace

bool CCommandPanel::OnButton(int id, int page) {
  switch (id) {
    case kButtonSave:
      doc_.SaveParams();
      return true;
    case kButtonLoad:
      doc_.LoadParams();
      return true;
    case kButtonReset:
      doc_.ResetAxis();
      return true;
    case kButtonStart:
      OnStart(page);
      return true;
    case kButtonHome:
      doc_.HomeAxis();
      return true;
    case kButtonSetPos:
      OnSetPos(page);
      return true;
    default:
      return false;
  }
}

void CCommandPanel::OnStart(int page) {
  if (page == model::kPageLinTab) {
    doc_.Move(axlink::kMoveCharacteristic, 0.0, 0.0);
    return;
  }
  if (page == model::kPageEncoder || inputs_ == nullptr) return;
  double position = 0;
  double velocity = 0;
  const bool destinationOk = CleanedValue(*inputs_, PanelBox::Destination, true, position);
  const bool velocityOk = CleanedValue(*inputs_, PanelBox::Velocity, false, velocity);
  if (!destinationOk || !velocityOk) {
    doc_.Ui().MessageBox(std::string(doc_.Strings().Text(kTextInputNotOk)));
    return;
  }
  doc_.Move(axlink::kMoveToPosition, position, velocity);
}

void CCommandPanel::OnSetPos(int page) {
  if (page != model::kPageEncoder || inputs_ == nullptr) return;
  double position = 0;
  if (!CleanedValue(*inputs_, PanelBox::Destination, true, position)) {
    doc_.Ui().MessageBox(kSetPosInputNotOk);
    return;
  }
  doc_.SetPosition(position);
  doc_.Ui().RequestRedisplay();
}

void CCommandPanel::KeyCommand(int page, bool down, int key) {
  if (!down) {
    doc_.ReleaseJog();
    return;
  }
  const bool encoder = page == model::kPageEncoder;
  switch (key) {
    case pages::kKeyF1:
      if (!encoder) doc_.StartJog(-2);
      break;
    case pages::kKeyF2:
      if (!encoder) doc_.StartJog(-1);
      break;
    case pages::kKeyF3:
      if (!encoder) doc_.StartJog(1);
      break;
    case pages::kKeyF4:
      if (!encoder) doc_.StartJog(2);
      break;
    case pages::kKeyF5:
      if (!encoder && doc_.nJogState == 0) OnStart(page);
      break;
    case pages::kKeyF6:
      doc_.StopAxis();
      doc_.nJogState = 0;
      break;
    case pages::kKeyF8:
      doc_.ResetAxis();
      doc_.nJogState = 0;
      break;
    default:
      break;
  }
}

}  // namespace entry
