// Finding the page view's controls by what they show: a parameter number (and bit), a value of
// their own (layout::ValueId), a type name, a text ID, or a button's command ID. Each lookup
// returns the first control in creation order, or null.
#pragma once

#include <cstdint>
#include <span>

#include "pages/PageBuilder.h"

class QAbstractButton;
class QWidget;

namespace pages {

const PageControl* FindControl(std::span<const PageControl> controls, int page, layout::Src src,
                               uint16_t no, uint32_t bit);
// A parameter shown on `page`: the parameter record's number first, then the LinRecord's.
QWidget* FindParamControl(std::span<const PageControl> controls, int page, uint16_t no,
                          uint32_t bit);
QWidget* FindValueControl(std::span<const PageControl> controls, int page, layout::ValueId value,
                          uint32_t bit);
QWidget* FindTypeNameControl(std::span<const PageControl> controls, int page, uint16_t no);
QWidget* FindTextControl(std::span<const PageControl> controls, int page, uint32_t textId);
QAbstractButton* FindButton(std::span<const PageControl> controls, int id);

}  // namespace pages
