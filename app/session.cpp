#include "app/session.h"

#include <chrono>
#include <iostream>

#include "app/cli_error.h"
#include "app/names_lookup.h"
#include "document/document_file.h"
#include "document/preferences.h"
#include "document/style_file.h"
#include "document/text_encoding.h"
#include "effects/effect_bodies.h"
#include "platform/font_list.h"
#include "platform/process.h"
#include "platform/program_folder.h"

void ReportError(const std::string& file, const std::string& reason) {
  // Lower layers often name the file already; say it once.
  if (file.empty() || reason.starts_with(file + ": "))
    std::cerr << "quorbel: " << reason << "\n";
  else
    std::cerr << "quorbel: " << file << ": " << reason << "\n";
}

std::string MessageTextFromArgument(const std::string& argument, bool* cut, bool* recoded) {
  // Arguments are UTF-8; anything else is taken as Windows-1252, the code page older scripts used.
  const bool utf8 = IsValidUtf8(argument);
  if (recoded) *recoded = !utf8;
  const std::string text = utf8 ? argument : TextToUtf8(argument, 0);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' && (i == 0 || text[i - 1] != '\r')) {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  if (cut) *cut = out.size() > kMaxText;
  if (out.size() > kMaxText) {
    out.resize(Utf8CutPoint(out, kMaxText));
    if (!out.empty() && out.back() == '\r') out.pop_back();
  }
  return out;
}

void PrepareContext(EngineContext& ctx, const PlaquetDocument& doc, const ProgramSettings& settings,
                    bool deferLightPatterns) {
  ctx.settings = settings;
  ctx.programFolder = doc.programFolder;
  ctx.pressedButton = doc.pressedButton;
  if (deferLightPatterns) DeferLightPatterns(ctx);
  else LoadLightPatterns(ctx);
}

SaveSettings MakeSaveSettings(ImageFileType type) {
  SaveSettings settings;
  settings.type = type;
  return settings;
}

namespace {

void ApplyMessageOptions(const SessionOptions& options, Session& s) {
  LogFont& font = s.doc.message().font;
  if (options.font) {
    font.faceName = options.font->substr(0, LogFont::kMaxFaceName);
    if (options.verbose && !platform::FamilyIsInstalled(font.faceName)) {
      const std::string best = platform::BestMatchingFamily(font.faceName);
      s.warnings.push_back("note: no installed face is named \"" + font.faceName + "\"; drawing with " +
                           (best.empty() ? std::string("any font found") : "\"" + best + "\", fontconfig's best match"));
    }
  }
  if (options.emPixels) {
    font.height = -*options.emPixels;
    font.width = 0;  // the face's own proportions at the new size
  }
  if (options.bold) font.weight = 700;
  if (options.italic) font.italic = 1;
  if (options.colour) {
    const int32_t current = s.doc.MainColour(kMessageItem);
    if (current == -2)
      s.warnings.push_back("--color ignored: the message's style has no Draw or 3D Single Color effect whose colour it sets (give --style, e.g. plain)");
    else if (current == -1)
      s.warnings.push_back("--color ignored: the message's style paints a texture, not a colour");
    else
      s.doc.SetMainColour(kMessageItem, *options.colour);
  }
  if (options.margin) {
    s.doc.extensionX = options.margin->first;
    s.doc.extensionY = options.margin->second;
  }
}

}  // namespace

Session OpenSession(const SessionOptions& options) {
  Session s;
  s.doc = MakeStartUpDocument();
  s.doc.programFolder = platform::FindProgramFolder();
  s.settings = LoadPreferences(PreferencesPath());
  std::string error;
  if (!options.document.empty()) {
    const std::string path = ResolveNamedFile(options.document, ".plq", "example", s.doc.programFolder);
    if (!ReadDocumentFileChecked(s.doc, path, &error)) throw CliError(path, error);
  }
  if (!options.style.empty()) {
    const std::string path = ResolveNamedFile(options.style, ".sty", "style", s.doc.programFolder);
    if (!LoadStyleIntoItemChecked(s.doc, kMessageItem, path, &error)) throw CliError(path, error);
  }
  if (options.text) {
    bool cut = false, recoded = false;
    s.doc.message().text = MessageTextFromArgument(*options.text, &cut, &recoded);
    if (recoded) s.warnings.push_back("the --text argument is not valid UTF-8; it was read as Windows-1252");
    if (cut) s.warnings.push_back("the message text was cut at " + std::to_string(kMaxText) + " bytes");
  }
  ApplyMessageOptions(options, s);
  if (options.pressed) s.doc.pressedButton = true;
  // The document and the current style carry the backdrop together; the save rules read the style's.
  if (options.pageColour) {
    s.doc.backdropKind = s.doc.currentStyle.backdropKind = kBackdropColour;
    s.doc.backdropColour = s.doc.currentStyle.backdropColour = *options.pageColour;
  }
  if (options.transparent) s.doc.backdropKind = s.doc.currentStyle.backdropKind = kBackdropTransparent;
  s.seed = options.seed ? *options.seed
                        : uint32_t(std::chrono::system_clock::now().time_since_epoch().count());
  if (options.supersample) s.settings.supersample = *options.supersample;
  s.ctx = std::make_unique<EngineContext>(s.seed);
  PrepareContext(*s.ctx, s.doc, s.settings, true);
  s.ctx->renderScale = options.scale;
  return s;
}
