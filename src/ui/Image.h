#pragma once
// A picture that only decorates a window; glyph names it ("file").
#include <string>

#include "ui/Control.h"

namespace ui {

class Image : public Control {
 public:
  Image(std::string name, std::string glyph) : Control(std::move(name)), glyph_(std::move(glyph)) {}
  const std::string& glyph() const { return glyph_; }

 private:
  std::string glyph_;
};

}  // namespace ui
