#include "pages/ControlLookup.h"

#include <QAbstractButton>

namespace pages {

const PageControl* FindControl(std::span<const PageControl> controls, int page, layout::Src src,
                               uint16_t no, uint32_t bit) {
  for (const PageControl& c : controls) {
    const layout::Bind& b = c.def->bind;
    if (c.page == page && b.src == src && b.no == no && b.bit == bit) return &c;
  }
  return nullptr;
}

QWidget* FindParamControl(std::span<const PageControl> controls, int page, uint16_t no,
                          uint32_t bit) {
  const PageControl* c = FindControl(controls, page, layout::Src::Param, no, bit);
  if (!c) c = FindControl(controls, page, layout::Src::Lin, no, bit);
  return c ? c->widget : nullptr;
}

QWidget* FindValueControl(std::span<const PageControl> controls, int page, layout::ValueId value,
                          uint32_t bit) {
  const PageControl* c =
      FindControl(controls, page, layout::Src::Value, static_cast<uint16_t>(value), bit);
  return c ? c->widget : nullptr;
}

QWidget* FindTypeNameControl(std::span<const PageControl> controls, int page, uint16_t no) {
  const PageControl* c = FindControl(controls, page, layout::Src::TypeName, no, 0);
  return c ? c->widget : nullptr;
}

QWidget* FindTextControl(std::span<const PageControl> controls, int page, uint32_t textId) {
  for (const PageControl& c : controls) {
    if (c.page == page && c.def->text == textId) return c.widget;
  }
  return nullptr;
}

QAbstractButton* FindButton(std::span<const PageControl> controls, int id) {
  for (const PageControl& c : controls) {
    if (c.def->id == id) return qobject_cast<QAbstractButton*>(c.widget);
  }
  return nullptr;
}

}  // namespace pages
