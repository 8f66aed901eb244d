#pragma once
// The painter's own state of a save level, kept and given back when the
// level ends, by return or by error. Shared by the painter's files.
#include <optional>

#include "content/Renderer.h"
#include "runtime/ArenaScope.h"

namespace content {

// Keeps the painter's own state of a save level and gives it back when the
// level ends, by return or by error. Outside text objects the level's
// pipeline objects (clips above all) live in an arena scope that closes
// with it.
class Renderer::SavedPaintState {
 public:
  explicit SavedPaintState(Renderer& renderer, bool scoped)
      : renderer_(renderer),
        saved_(renderer.state_),
        layer_(renderer.paint_.layer),
        text_(renderer.text_),
        textLayer_(renderer.textLayer_) {
    if (scoped) scope_.emplace(*renderer.paint_.arena);
  }
  ~SavedPaintState() {
    renderer_.state_ = saved_;
    renderer_.paint_.layer = layer_;
    renderer_.text_ = text_;
    renderer_.textLayer_ = textLayer_;
  }
  SavedPaintState(const SavedPaintState&) = delete;
  SavedPaintState& operator=(const SavedPaintState&) = delete;

 private:
  Renderer& renderer_;
  PaintState saved_;
  raster::RasterDevice* layer_;
  // The text side of a group layer lives in the level's scope.
  raster::Renderer* text_;
  raster::RasterDevice* textLayer_;
  std::optional<runtime::ArenaScope> scope_;
};

}  // namespace content
