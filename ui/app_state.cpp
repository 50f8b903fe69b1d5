#include "ui/app_state.h"

#include <chrono>

#include "app/session.h"
#include "document/preferences.h"
#include "effects/effect_bodies.h"
#include "engine/render_pipeline.h"
#include "engine/text_rasterizer.h"
#include "platform/program_folder.h"

SaveSettings AppState::SaveSettingsFor(ImageFileType type) const {
  SaveSettings s = MakeSaveSettings(type);
  s.jpegQuality = jpegQuality;
  s.jpegProgressive = jpegProgressive != 0;
  s.matte = matte;
  return s;
}

std::unique_ptr<AppState> MakeStartUpState(uint32_t seed) {
  auto state = std::make_unique<AppState>();
  if (seed == 0)
    seed = uint32_t(std::chrono::system_clock::now().time_since_epoch().count());
  state->doc = MakeStartUpDocument();
  state->ctx = std::make_unique<EngineContext>(seed);
  state->doc.programFolder = platform::FindProgramFolder();
  state->preferencesPath = PreferencesPath();
  const ProgramSettings prefs = LoadPreferences(state->preferencesPath);
  // Light patterns come from the program folder, which PrepareContext hands over first.
  PrepareContext(*state->ctx, state->doc, prefs);
  RenderPreview(state->doc, *state->ctx);
  return state;
}
