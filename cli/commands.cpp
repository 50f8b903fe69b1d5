#include "cli/commands.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include <CLI/CLI.hpp>

#include "app/batch_run.h"
#include "app/cli_error.h"
#include "app/name_template.h"
#include "app/names_lookup.h"
#include "app/output_record.h"
#include "app/session.h"
#include "document/preferences.h"
#include "document/batch_list.h"
#include "document/colour_text.h"
#include "document/string_list.h"
#include "document/text_encoding.h"
#include "document/text_file_io.h"
#include "effects/effect_catalogue.h"
#include "raster/render_error.h"
#include "engine/render_pipeline.h"
#include "engine/render_scale.h"
#include "app/save_rules.h"
#include "imaging/color_reduction.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "platform/font_list.h"
#include "platform/program_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 2;

// The one piece of process-wide state: which stop signal arrived during a batch. Written only by
// the handler (lock-free atomics are async-signal-safe); read by the batch workers.
std::atomic<int> g_stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) { g_stopSignal.store(signal); }

// SIGINT and SIGTERM stop the batch after the files in flight; a second one ends the process at
// once (the handler is reset on first use), which leaves no partial file either.
class StopSignals {
 public:
  StopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
};

const std::vector<std::string> kTypeNames{"png256", "png", "jpeg", "bmp", "gif16", "gif256", "gif", "webp"};

// What the user asked to hear besides errors.
struct Feedback {
  bool quiet = false;    // no warnings, progress or summary
  bool verbose = false;  // notes as well
};

void Warn(const Feedback& fb, const std::string& file, const std::string& reason) {
  if (!fb.quiet) ReportError(file, reason);
}

void AddFeedbackOptions(CLI::App* cmd, Feedback& fb) {
  auto* quiet = cmd->add_flag("-q,--quiet", fb.quiet, "No warnings, progress bar or summary; errors only");
  cmd->add_flag("-v,--verbose", fb.verbose, "Notes as well, such as the face fontconfig chose for --font")
      ->excludes(quiet);
}

// A usage mistake found after parsing: reported like CLI11's own, with status 2.
struct UsageError : std::runtime_error {
  UsageError(std::string file, const std::string& reason) : std::runtime_error(reason), file(std::move(file)) {}
  std::string file;
};

struct OutputOptions {
  std::string type;
  int colours = 0;
  int jpegCompression = -1;
  bool progressive = false;
  bool pngSmall = false;
  int quality = -1;  // WebP: -1 lossless
  std::string matte;
  std::string quantizer;  // empty: the preference
  bool dither = false;    // on: dithered; off: the preference
};

// Command-line colours; the check has already refused anything else.
int32_t ColourArgument(const std::string& text) { return ParseColourText(text).value_or(0); }

const CLI::Validator kColourCheck(
    [](std::string& text) {
      return ParseColourText(text) ? std::string()
                                   : "\"" + text + "\" is not a colour (#rrggbb, rgb(r,g,b) or a CSS colour name)";
    },
    "COLOR");

// Options of the picture's backdrop: session-wide ones go to the document, the matte to the output.
struct BackdropOptions {
  bool transparent = false;
  std::string pageColour;
};

void AddBackdropOptions(CLI::App* cmd, BackdropOptions& b, OutputOptions& o) {
  auto* transparent = cmd->add_flag("--transparent", b.transparent,
                                    "Transparent backdrop: alpha in PNG and WebP, a transparent index in GIF");
  cmd->add_option("--page-color", b.pageColour, "Opaque page of this colour (#rrggbb, rgb(r,g,b) or a CSS name)")
      ->check(kColourCheck)
      ->excludes(transparent);
  cmd->add_option("--matte", o.matte,
                  "With a transparent backdrop: the colour partly covered edges are blended onto in GIF, BMP and JPEG")
      ->check(kColourCheck);
}

void ApplyBackdrop(const BackdropOptions& b, SessionOptions& s) {
  s.transparent = b.transparent;
  if (!b.pageColour.empty()) s.pageColour = ColourArgument(b.pageColour);
}

// A matte only means something on a transparent backdrop; said once, then dropped.
void DropMatteOnOpaque(const Feedback& fb, const PlaquetDocument& doc, SaveSettings& settings) {
  if (!settings.matte || doc.currentStyle.backdropKind == kBackdropTransparent) return;
  Warn(fb, "", "--matte ignored: the backdrop is not transparent (give --transparent)");
  settings.matte.reset();
}

// Options given for another output type than the one written are said, not silently dropped.
void WarnInapplicable(const Feedback& fb, const OutputOptions& o, const SaveSettings& settings) {
  const ImageFileType t = settings.type;
  const std::string type = ImageFileTypeName(t);
  auto said = [&](const char* option) { Warn(fb, "", std::string(option) + " ignored: it does not apply to " + type + " output"); };
  if (o.jpegCompression >= 0 && t != Jpeg) said("--jpeg-compression");
  if (o.progressive && t != Jpeg) said("--progressive");
  if (o.pngSmall && t != PngTrueColor && t != Png256) said("--png-small");
  if (o.quality >= 0 && t != Webp) said("--quality");
  if (o.colours && (t == Jpeg || t == Webp)) said("--colors");
}

// The start values and a document without message effects render a blank picture.
void WarnIfMessagePaintsNothing(const Feedback& fb, const Session& s) {
  if (!s.doc.message().effects.empty()) return;
  Warn(fb, "", "the message has no effects, so its text paints nothing; give --style NAME (quorbel list styles)");
}

void SayWarnings(const Feedback& fb, const Session& s) {
  for (const std::string& w : s.warnings)
    if (w.rfind("note: ", 0) != 0 || fb.verbose) Warn(fb, "", w);
}

Session OpenChecked(const Feedback& fb, const SessionOptions& so) {
  Session s = OpenSession(so);
  SayWarnings(fb, s);
  WarnIfMessagePaintsNothing(fb, s);
  return s;
}

const std::map<std::string, int> kQuantizers{{"popularity", Popularity}, {"median", OptimizedMedianCut},
                                             {"quality", HighQuality}};

void AddReductionOptions(CLI::App* cmd, OutputOptions& o) {
  cmd->add_option("--quantizer", o.quantizer, "Colour reduction: quality, median or popularity (default: preference)")
      ->check(CLI::IsMember({"quality", "median", "popularity"}));
  cmd->add_flag("--dither", o.dither, "Floyd-Steinberg dithering when colours are reduced");
}

// The preferences with the command line's reduction choices on top.
ProgramSettings WithReduction(ProgramSettings settings, const OutputOptions& o) {
  if (!o.quantizer.empty()) settings.reduceColorMethod = kQuantizers.at(o.quantizer);
  if (o.dither) settings.dithering = true;
  return settings;
}

void ApplyReduction(Session& s, const OutputOptions& o) {
  s.settings = WithReduction(s.settings, o);
  s.ctx->settings.reduceColorMethod = s.settings.reduceColorMethod;
  s.ctx->settings.dithering = s.settings.dithering;
}

void AddOutputOptions(CLI::App* cmd, OutputOptions& o, bool withType) {
  if (withType)
    cmd->add_option("--type", o.type, "Output type (default: chosen by the output name's extension)")
        ->check(CLI::IsMember(kTypeNames));
  cmd->add_option("--colors", o.colours, "Reduce to 16 or 256 colours")->check(CLI::IsMember({16, 256}));
  cmd->add_option("--jpeg-compression", o.jpegCompression,
                  "JPEG compression 0 (best quality) .. 100; default: the standard tables")
      ->check(CLI::Range(0, 100));
  cmd->add_flag("--progressive", o.progressive, "Write a progressive JPEG");
  cmd->add_flag("--png-small", o.pngSmall, "Smallest PNG: adaptive filters and lazy matching");
  cmd->add_option("--quality", o.quality, "WebP: lossy at this quality 0..100 (default: lossless)")
      ->check(CLI::Range(0, 100));
  AddReductionOptions(cmd, o);
}

// Raw texts of the message options, turned into SessionOptions after parsing.
struct MessageOptionTexts {
  std::string colour;
  std::string margin;
  std::string scale;
  std::string scales;
};

// A scale as typed: a number from 1 to 4 (fractions allowed).
std::optional<double> ParseScale(const std::string& text) {
  std::istringstream in(text);
  double v = 0;
  if (!(in >> v)) return std::nullopt;
  in >> std::ws;
  if (!in.eof() || !(v >= kMinRenderScale && v <= kMaxRenderScale)) return std::nullopt;
  return v;
}

// "1,2,3": distinct scales in the order given.
std::vector<double> ParseScaleList(const std::string& text) {
  std::vector<double> out;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::optional<double> v = ParseScale(item);
    if (!v)
      throw UsageError("--scales", "\"" + item + "\" in \"" + text + "\" is not a scale (a number from 1 to 4)");
    if (std::find(out.begin(), out.end(), *v) != out.end())
      throw UsageError("--scales", "scale " + item + " is given twice in \"" + text + "\"");
    out.push_back(*v);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

std::optional<std::pair<int, int>> ParseMargin(const std::string& text) {
  std::istringstream in(text);
  int x = -1, y = -1;
  char comma = 0;
  if (!(in >> x)) return std::nullopt;
  if (in >> comma) {
    if (comma != ',' || !(in >> y)) return std::nullopt;
  } else {
    y = x;
  }
  in >> std::ws;
  if (!in.eof() || x < 0 || x > 100 || y < 0 || y > 100) return std::nullopt;
  return std::make_pair(x, y);
}

void AddSessionOptions(CLI::App* cmd, SessionOptions& s, MessageOptionTexts& m, bool withText) {
  cmd->add_option("--style", s.style, "Style for the message: a .sty file or a name (quorbel list styles)");
  if (withText) cmd->add_option("--text", s.text, "Message text (line feeds start new lines)");
  cmd->add_option("--font", s.font, "Message font face (fontconfig's best match when not installed)");
  cmd->add_option("--size", s.emPixels, "Message letter size: the em height in pixels, as CSS's font-size")
      ->check(CLI::Range(1, kMaxMessageEmPixels));
  cmd->add_flag("--bold", s.bold, "Bold message");
  cmd->add_flag("--italic", s.italic, "Italic message");
  cmd->add_option("--color", m.colour, "The message's main colour (#rrggbb, rgb(r,g,b) or a CSS name)")
      ->check(kColourCheck);
  cmd->add_option("--margin", m.margin, "Room around the message in pixels: X[,Y], 0..100 each (Y defaults to X)")
      ->check(CLI::Validator(
          [](std::string& text) {
            return ParseMargin(text) ? std::string()
                                     : "\"" + text + "\" is not a margin (X or X,Y, whole pixels 0..100)";
          },
          "X[,Y]"));
  cmd->add_flag("--pressed", s.pressed, "Also write the pressed-button picture (name_.ext)");
  cmd->add_option("--seed", s.seed, "Seed of the random effects (default: the time)");
  cmd->add_option("--scale", m.scale, "Render at S times the size, 1..4 (fractions allowed): fonts, margins, effects");
  cmd->add_option("--supersample", s.supersample,
                  "Render N times larger and reduce by area averaging, 2..4 (1 = off; default: preference)")
      ->check(CLI::Range(1, kMaxSupersample));
}

void AddScalesOption(CLI::App* cmd, MessageOptionTexts& m) {
  cmd->add_option("--scales", m.scales, "Write every listed scale, e.g. 1,2,3: name.png, name@2x.png, name@3x.png");
}

void ApplyMessageOptions(const MessageOptionTexts& m, const Feedback& fb, SessionOptions& s) {
  if (!m.colour.empty()) s.colour = ColourArgument(m.colour);
  if (!m.margin.empty()) s.margin = ParseMargin(m.margin);
  s.verbose = fb.verbose;
  if (!m.scale.empty() && !m.scales.empty())
    throw UsageError("--scales", "give either --scale or --scales, not both");
  if (!m.scale.empty()) {
    const std::optional<double> v = ParseScale(m.scale);
    if (!v) throw UsageError("--scale", "\"" + m.scale + "\" is not a scale (a number from 1 to 4, such as 2 or 1.5)");
    s.scale = *v;
  }
  if (!m.scales.empty()) s.scales = ParseScaleList(m.scales);
}

SaveSettings SettingsFor(const OutputOptions& o, const std::string& outputPath) {
  std::optional<ImageFileType> type;
  if (!o.type.empty()) {
    type = ImageFileTypeFromName(o.type);
  } else {
    type = ImageFileTypeForPath(outputPath, o.colours);
    if (!type)
      throw CliError(outputPath, "cannot tell the file type from the name; give --type (" +
                                     std::string("png256, png, jpeg, bmp, gif16, gif256, gif, webp)"));
  }
  SaveSettings settings = MakeSaveSettings(*type);
  settings.colours = o.colours;
  settings.jpegQuality = o.jpegCompression;
  settings.jpegProgressive = o.progressive;
  settings.pngSmall = o.pngSmall;
  settings.webpQuality = o.quality;
  if (!o.matte.empty()) settings.matte = ColourArgument(o.matte);
  if (settings.type == PngTrueColor && o.colours) settings.type = Png256;
  if (settings.type == GifThroughConverter && o.colours == 16) settings.type = Gif16;
  return settings;
}

// Characters that no installed face has come out as boxes; say which, once.
void WarnMissingCharacters(const std::string& missing) {
  if (missing.empty()) return;
  std::string codes;
  for (char32_t cp : Utf8ToCodePoints(missing)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, " U+%04X", unsigned(cp));
    codes += buf;
  }
  ReportError("", "warning: no installed font has the characters \"" + missing + "\" (" + codes.substr(1) +
                      "); they are drawn as boxes");
}

// A private folder for a picture on its way to standard output; removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "quorbel-out-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw CliError(pattern, "cannot make a temporary folder");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

void CopyToStandardOutput(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CliError(file, "cannot read the picture back");
  std::cout << in.rdbuf();
  std::cout.flush();
  if (!std::cout) throw CliError("-", "cannot write to standard output");
}

// The document opened with the command line's choices and rendered for the output type; a
// render that cannot be made names the document.
Session OpenAndRender(const Feedback& fb, const SessionOptions& so, const OutputOptions& oo, SaveSettings& settings) {
  WarnInapplicable(fb, oo, settings);
  Session s = OpenChecked(fb, so);
  ApplyReduction(s, oo);
  DropMatteOnOpaque(fb, s.doc, settings);
  // With several scales the writing renders each one itself.
  if (!settings.scales.empty()) return s;
  try {
    RenderPreview(s.doc, *s.ctx);
  } catch (const RenderError& e) {
    throw CliError(so.document, e.what());
  }
  RenderForType(s.doc, *s.ctx, settings);
  return s;
}

int RenderCommand(const Feedback& fb, const SessionOptions& so, const std::string& output, const OutputOptions& oo,
                  bool json) {
  const bool toStdout = output == "-";
  if (toStdout) {
    if (oo.type.empty()) {
      ReportError("-", "--type is required when the picture goes to standard output");
      return kUsageError;
    }
    if (so.pressed) {
      ReportError("-", "--pressed makes two pictures; name an output file instead of -");
      return kUsageError;
    }
    if (json) {
      ReportError("-", "--json and the picture cannot both go to standard output; name an output file");
      return kUsageError;
    }
    if (!so.scales.empty()) {
      ReportError("-", "--scales makes several pictures; name an output file instead of -");
      return kUsageError;
    }
    if (isatty(STDOUT_FILENO)) {
      ReportError("-", "refusing to write binary picture data to a terminal; redirect the output or name a file");
      return kUsageError;
    }
  }
  SaveSettings settings = SettingsFor(oo, toStdout ? std::string() : output);
  settings.scales = so.scales;
  Session s = OpenAndRender(fb, so, oo, settings);
  WarnMissingCharacters(s.ctx->fonts.TakeMissingCharacters());
  if (toStdout) {
    // The document's own pressed-button setting would add a second picture.
    s.doc.pressedButton = false;
    s.ctx->pressedButton = false;
    ScratchFolder scratch;
    const auto names = WriteOutputFiles(s.doc, *s.ctx, (scratch.Path() / "picture").string(), settings);
    CopyToStandardOutput(names.front());
    return 0;
  }
  std::vector<WrittenFile> files;
  std::vector<std::string> names;
  try {
    names = WriteOutputFiles(s.doc, *s.ctx, output, settings, &files);
  } catch (const RenderError& e) {
    throw CliError(so.document, e.what());
  }
  if (json) {
    std::cout << RecordsToJson(RecordsForWrittenFiles(files, settings, 0, s.doc.message().text));
  } else {
    for (const auto& n : names) std::cout << n << "\n";
  }
  return 0;
}

int SizeCommand(const Feedback& fb, const SessionOptions& so, const OutputOptions& oo, bool json) {
  SaveSettings settings = SettingsFor(oo, "");
  Session s = OpenAndRender(fb, so, oo, settings);
  // A transparent picture is measured from its true-colour picture and alpha.
  const bool opaque = s.doc.currentStyle.backdropKind != kBackdropTransparent;
  if (opaque && (settings.type == Gif16 || settings.type == Gif256 || settings.type == GifThroughConverter))
    RenderReduced(s.doc, *s.ctx, settings.type == Gif16 ? 16 : 256);
  else if (opaque && settings.type == Bmp && settings.colours)
    RenderReduced(s.doc, *s.ctx, settings.colours);
  const int64_t bytes = CalculateFileSize(s.doc, *s.ctx, settings);
  if (!json) {
    std::cout << bytes << "\n";
    return 0;
  }
  OutputRecord r;
  for (char c : s.doc.message().text)
    if (c != '\r') r.text += c;
  r.width = s.ctx->image.Width();
  r.height = s.ctx->image.Height();
  r.bytes = bytes;
  r.type = ImageFileTypeName(settings.type);
  r.scale = s.ctx->renderScale;
  std::cout << RecordsToJson({r});
  return 0;
}

int ConvertCommand(const std::string& input, const std::string& output, const OutputOptions& oo) {
  SaveSettings settings = SettingsFor(oo, output);
  DibImage picture;
  std::string error;
  if (!picture.Load(input, &error)) throw CliError(input, error.empty() ? "cannot read the picture" : error);
  if (picture.BitCount() != 24 && picture.BitCount() != 8)
    throw CliError(input, "unsupported colour depth");
  // Pictures are reduced and written as the render pipeline's would be.
  int colours = oo.colours;
  if (settings.type == Gif16) colours = 16;
  if ((settings.type == Gif256 || settings.type == GifThroughConverter || settings.type == Png256) && !colours)
    colours = 256;
  // Palette pictures are expanded for true-colour outputs; reduced outputs go through the same
  // reduction as rendered pictures.
  const bool reduce = colours && settings.type != Jpeg && settings.type != PngTrueColor && settings.type != Webp;
  const ProgramSettings prefs = WithReduction(LoadPreferences(PreferencesPath()), oo);
  if ((!reduce && !ExpandToTrueColour(picture)) ||
      (reduce && !ReduceImage(picture, colours, 0xFFFFFF, prefs.reduceColorMethod, prefs.dithering)))
    throw CliError(input, "not enough memory for the picture");
  const int bitCount = picture.BitCount();
  const std::string name = OutputFileNames(PlaquetDocument{}, output, settings).front();
  if (!picture.SaveAs(name, -1, bitCount, ExportOptionsFor(settings, 0))) throw CliError(name, "unknown file type");
  std::cout << name << "\n";
  return 0;
}

class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  void Update(int done, int total) {
    if (!enabled_ || total <= 0) return;
    const int width = 40;
    const int filled = done * width / total;
    std::fprintf(stderr, "\r[%.*s%*s] %d/%d", filled, "########################################",
                 width - filled, "", done, total);
    if (done == total) std::fputc('\n', stderr);
    std::fflush(stderr);
    lastDone_ = done;
    lastTotal_ = total;
  }
  // Ends a bar that stopped short, so the summary starts on a line of its own.
  void Interrupted() {
    if (enabled_ && lastDone_ != lastTotal_) std::fputc('\n', stderr);
  }

 private:
  bool enabled_;
  int lastDone_ = 0, lastTotal_ = 0;
};

// The text of a list file, or of standard input for "-".
std::string ReadListText(const std::string& path) {
  constexpr size_t kMaxListBytes = 64u << 20;
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) throw CliError("-", "cannot read standard input");
  } else {
    std::ifstream in;
    std::string error;
    if (!OpenTextFile(path, in, &error)) throw CliError(path, error);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) throw CliError(path, "cannot read the list");
  }
  if (text.size() > kMaxListBytes) throw CliError(path, "the list is larger than 64 MiB");
  return text;
}

struct BatchRequest {
  std::string list;
  std::string base;
  std::string nameTemplate;  // empty: base0, base1, ...
  std::string manifest;      // empty: none
  bool force = false;
  bool resume = false;
  bool sharedPalette = false;
  int jobs = 0;
};

fs::path FolderOf(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? fs::path(".") : parent;
}

int BatchCommand(const Feedback& fb, const BatchRequest& req, const SessionOptions& so, const OutputOptions& oo) {
  const auto start = std::chrono::steady_clock::now();
  const std::string listName = req.list == "-" ? std::string("-") : req.list;
  const StringList list = ParseStringList(ReadListText(req.list));
  if (list.fromWindows1252) Warn(fb, listName, "not UTF-8; read as Windows-1252");
  if (list.cut)
    Warn(fb, listName, "strings longer than " + std::to_string(kMaxBatchString) + " bytes were cut");
  const std::vector<std::string>& strings = list.strings;
  if (strings.empty()) {
    Warn(fb, listName, "the list holds no strings; nothing written");
    return 0;
  }
  // Without an extension the type's own is used; with --type the name's own extension is replaced.
  SaveSettings settings = SettingsFor(oo, oo.type.empty() ? req.base : std::string());
  WarnInapplicable(fb, oo, settings);
  BatchOptions options;
  options.base = req.base;
  options.save = settings;
  if (!req.nameTemplate.empty()) {
    try {
      for (const std::string& n : ExpandNameTemplate(req.nameTemplate, strings))
        options.names.push_back((fs::path(BaseName(req.base)).parent_path() /
                                 (fs::path(BaseName(req.base)).filename().string() + n))
                                    .string());
    } catch (const NameTemplateError& e) {
      throw UsageError(req.nameTemplate, e.what());
    }
  }
  const fs::path folder = FolderOf(req.base);
  if (!fs::is_directory(folder)) throw CliError(folder.string(), "no such folder");
  if (!req.manifest.empty() && !fs::is_directory(FolderOf(req.manifest)))
    throw CliError(req.manifest, "no such folder: " + FolderOf(req.manifest).string());

  Session s = OpenChecked(fb, so);
  ApplyReduction(s, oo);
  DropMatteOnOpaque(fb, s.doc, settings);
  options.save = settings;
  options.save.scales = so.scales;
  options.seed = s.seed;
  options.jobs = req.jobs > 0 ? req.jobs : int(std::max(1u, std::thread::hardware_concurrency()));
  // Without --force the final link of every file refuses an existing name, so a run racing on
  // the same base loses that file with a message instead of overwriting it.
  options.save.output.replace = req.force && !req.resume;
  options.resume = req.resume;
  options.stop = &g_stopSignal;
  options.sharedPalette = req.sharedPalette;
  if (req.sharedPalette && !ReducedColours(settings))
    Warn(fb, req.base, "--shared-palette applies only to 16- and 256-colour types; ignored");
  const PlaquetDocument& doc = s.doc;
  const ProgramSettings prefs = s.settings;
  const double scale = so.scale;
  options.prepareContext = [&doc, prefs, scale](EngineContext& ctx) {
    PrepareContext(ctx, doc, prefs, true);
    ctx.renderScale = scale;
  };
  ProgressBar bar(!fb.quiet && isatty(STDERR_FILENO));
  options.progress = [&bar](int done, int total) { bar.Update(done, total); };

  // Every name is known before anything is written: two strings never share a file, and nothing
  // existing is overwritten unless asked.
  std::map<std::string, size_t> owner;
  for (size_t i = 0; i < strings.size(); ++i) {
    for (const auto& name : BatchFileNames(doc, options, i)) {
      const auto [it, fresh] = owner.emplace(name, i);
      if (!fresh)
        throw UsageError(req.nameTemplate.empty() ? req.base : req.nameTemplate,
                         "strings " + std::to_string(it->second) + " and " + std::to_string(i) +
                             " would both be written to " + name + "; add {index} or {text} to --name");
      if (!req.force && !req.resume && fs::exists(name))
        throw CliError(name, "file exists; give --force to overwrite existing files, or --resume to keep them");
    }
  }
  if (!req.manifest.empty() && owner.count(req.manifest))
    throw UsageError(req.manifest, "the manifest would overwrite a picture of the batch");

  g_stopSignal.store(0);
  BatchResult result;
  {
    StopSignals signals;
    result = RunBatch(doc, strings, options);
  }
  const int signal = g_stopSignal.load();
  if (signal) bar.Interrupted();
  for (const auto& f : result.failures) ReportError(f.file, f.reason);
  WarnMissingCharacters(result.missingCharacters);
  bool manifestFailed = false;
  if (!req.manifest.empty()) {
    std::string error;
    if (!WriteTextFile(req.manifest, RecordsToJson(result.records), &error)) {
      ReportError(req.manifest, error);
      manifestFailed = true;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::string summary = std::to_string(result.written.size()) + " files written, " +
                        std::to_string(result.failures.size()) + " failed";
  if (result.skipped) summary += ", " + std::to_string(result.skipped) + " strings already complete";
  if (signal) summary += ", " + std::to_string(result.notStarted) + " strings not started";
  char timing[64];
  std::snprintf(timing, sizeof timing, ", in %.2f s", seconds);
  if (!fb.quiet || signal)
    ReportError("", (signal ? std::string(signal == SIGINT ? "interrupted: " : "terminated: ") : std::string()) +
                        summary + timing);
  if (signal) return 128 + signal;
  return result.failures.empty() && !manifestFailed ? 0 : 1;
}

// What a parameter's number measures, as the catalogue says.
const char* UnitName(ParamUnit unit) {
  switch (unit) {
    case ParamUnit::PixelLength: return "pixels";
    case ParamUnit::PerPixel: return "per pixel";
    case ParamUnit::Percent: return "fraction";
    case ParamUnit::Angle: return "degrees";
    case ParamUnit::Colour: return "colour";
    case ParamUnit::Choice: return "choice";
    case ParamUnit::Count: return "count";
    case ParamUnit::Factor: return "factor";
  }
  return "";
}

// One line per name; effects with their parameters, ranges and units.
int ListCommand(const std::string& what) {
  const std::string data = platform::FindProgramFolder();
  std::vector<std::string> lines;
  if (what == "styles") lines = NamesInFolder(data, ".sty");
  else if (what == "examples") lines = NamesInFolder(data, ".plq");
  else if (what == "textures") lines = FilesInFolder(data + "texture");
  else if (what == "fonts") lines = platform::FontFamilies();
  if (what != "effects") {
    for (const auto& l : lines) std::cout << l << "\n";
    return 0;
  }
  for (int type = 0; const EffectInfo* info = FindEffectInfo(type); ++type) {
    std::cout << info->key << "  (" << info->displayName << ")\n";
    if (info->usesFileName) std::cout << "    file          a picture in the texture folder\n";
    for (const EffectParam& p : info->params) {
      std::ostringstream line;
      line << "    " << p.name;
      const int pad = 14 - int(std::string(p.name).size());
      line << std::string(size_t(std::max(1, pad)), ' ');
      switch (p.kind) {
        case ParamKind::Colour:
          line << "colour (#rrggbb)";
          break;
        case ParamKind::Choice:
          line << "one of";
          for (const auto& [value, label] : p.choices) line << " " << value << "=" << label;
          break;
        case ParamKind::Angle:
          line << p.minValue << ".." << p.maxValue << " degrees";
          break;
        case ParamKind::Integer:
          line << p.minValue << ".." << p.maxValue;
          if (p.scale != 1.0) line << " (x" << p.scale << ")";
          break;
      }
      if (p.kind != ParamKind::Colour) line << ", start " << p.startValue;
      if (p.kind == ParamKind::Integer) line << ", " << UnitName(p.unit);
      std::cout << line.str() << "\n";
    }
  }
  return 0;
}

}  // namespace

bool IsHeadlessCommand(int argc, char** argv) {
  // The window opens only without a command; its own options (Qt's -platform, -style, ...)
  // start with a single dash. Anything else is for the command line, which reports unknown
  // commands as usage errors instead of opening a window.
  if (argc < 2) return false;
  const std::string a = argv[1];
  const bool windowOption = a.size() > 1 && a[0] == '-' && a[1] != '-' && a != "-h";
  return !windowOption;
}

int RunCommandLine(int argc, char** argv) {
  CLI::App app{"Quorbel makes small decorated pictures of text: headings, web buttons and banners.\n"
               "Without a command it starts quorbel-desktop when that is installed beside it.",
               "quorbel"};
  app.set_version_flag("--version", "Quorbel 1.4.00");
  app.require_subcommand(1);
  // As in most tools, an option given twice takes its last value.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

  const char* docHelp = "Document: a .plq file or an example's name (quorbel list examples); default: the start values";

  SessionOptions renderSession;
  MessageOptionTexts renderMessage;
  Feedback renderFeedback;
  std::string renderOut;
  OutputOptions renderOut2;
  bool renderJson = false;
  auto* render = app.add_subcommand("render", "Render a document (or the start values) to a picture file");
  render->add_option("DOC", renderSession.document, docHelp);
  render->add_option("-o,--output", renderOut, "Output file (.png, .jpg, .bmp, .gif, .webp); - for standard output")
      ->required();
  AddOutputOptions(render, renderOut2, true);
  BackdropOptions renderBackdrop;
  AddBackdropOptions(render, renderBackdrop, renderOut2);
  AddSessionOptions(render, renderSession, renderMessage, true);
  AddScalesOption(render, renderMessage);
  render->add_flag("--json", renderJson, "Print what was written as JSON (path, size, bytes, type, ...)");
  AddFeedbackOptions(render, renderFeedback);

  SessionOptions batchSession;
  MessageOptionTexts batchMessage;
  Feedback batchFeedback;
  BatchRequest batchRequest;
  OutputOptions batchOut;
  auto* batch = app.add_subcommand("batch", "Render the document once per string of a list");
  batch->add_option("LIST", batchRequest.list,
                    "Strings: a batch list (.blt) or a text file with one string per line; - for standard input")
      ->required();
  batch->add_option("DOC", batchSession.document, docHelp);
  batch->add_option("-o,--output", batchRequest.base, "Base name: files are BASE0.ext, BASE1.ext, ... (see --name)")
      ->required();
  batch->add_option("--name", batchRequest.nameTemplate,
                    "File names after the base: {index}, {index:03} (zero-padded), {text} (the string as a name)");
  batch->add_option("--manifest", batchRequest.manifest,
                    "Write a JSON record of every file (index, text, path, width, height, bytes, type, pressed)");
  AddOutputOptions(batch, batchOut, true);
  BackdropOptions batchBackdrop;
  AddBackdropOptions(batch, batchBackdrop, batchOut);
  batch->add_flag("--shared-palette", batchRequest.sharedPalette,
                  "One palette for every picture of the batch (16- and 256-colour types)");
  batch->add_flag("--force", batchRequest.force, "Overwrite existing files");
  batch->add_flag("--resume", batchRequest.resume,
                  "Keep the files already there and write only the missing ones (after an interrupted run)");
  batch->add_option("--jobs", batchRequest.jobs, "Strings rendered in parallel (default: the number of cores)")
      ->check(CLI::PositiveNumber);
  AddSessionOptions(batch, batchSession, batchMessage, false);
  AddScalesOption(batch, batchMessage);
  AddFeedbackOptions(batch, batchFeedback);

  SessionOptions sizeSession;
  MessageOptionTexts sizeMessage;
  Feedback sizeFeedback;
  OutputOptions sizeOut;
  bool sizeJson = false;
  auto* size = app.add_subcommand("size", "Print the byte size the picture would have as a file");
  size->add_option("DOC", sizeSession.document, docHelp);
  AddOutputOptions(size, sizeOut, true);
  size->get_option("--type")->required();
  BackdropOptions sizeBackdrop;
  AddBackdropOptions(size, sizeBackdrop, sizeOut);
  AddSessionOptions(size, sizeSession, sizeMessage, true);
  size->add_flag("--json", sizeJson, "Print the measurement as JSON (size, bytes, type, ...)");
  AddFeedbackOptions(size, sizeFeedback);

  std::string convertIn, convertOut;
  OutputOptions convertOpts;
  Feedback convertFeedback;
  auto* convert = app.add_subcommand("convert", "Read a picture (BMP, PNG, JPEG, GIF, WebP) and write it by OUT's extension");
  convert->add_option("IN", convertIn, "Input picture")->required();
  convert->add_option("OUT", convertOut, "Output picture")->required();
  AddOutputOptions(convert, convertOpts, false);
  AddFeedbackOptions(convert, convertFeedback);

  std::string listWhat;
  auto* list = app.add_subcommand("list", "List the styles, examples, textures, fonts or effects there are");
  list->add_option("WHAT", listWhat, "styles, examples, textures, fonts or effects")
      ->required()
      ->check(CLI::IsMember({"styles", "examples", "textures", "fonts", "effects"}));

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }

  try {
    if (*render) {
      ApplyBackdrop(renderBackdrop, renderSession);
      ApplyMessageOptions(renderMessage, renderFeedback, renderSession);
      return RenderCommand(renderFeedback, renderSession, renderOut, renderOut2, renderJson);
    }
    if (*batch) {
      ApplyBackdrop(batchBackdrop, batchSession);
      ApplyMessageOptions(batchMessage, batchFeedback, batchSession);
      if (batchOut.type.empty() && !ImageFileTypeForPath(batchRequest.base)) batchOut.type = "png";
      return BatchCommand(batchFeedback, batchRequest, batchSession, batchOut);
    }
    if (*size) {
      ApplyBackdrop(sizeBackdrop, sizeSession);
      ApplyMessageOptions(sizeMessage, sizeFeedback, sizeSession);
      return SizeCommand(sizeFeedback, sizeSession, sizeOut, sizeJson);
    }
    if (*convert) {
      SaveSettings settings = SettingsFor(convertOpts, convertOut);
      WarnInapplicable(convertFeedback, convertOpts, settings);
      return ConvertCommand(convertIn, convertOut, convertOpts);
    }
    if (*list) return ListCommand(listWhat);
  } catch (const UsageError& e) {
    ReportError(e.file, e.what());
    return kUsageError;
  } catch (const CliError& e) {
    ReportError(e.file, e.what());
    return 1;
  } catch (const std::bad_alloc&) {
    ReportError("", quorbel::kOutOfMemoryReason);
    return 1;
  } catch (const std::exception& e) {
    ReportError("", e.what());
    return 1;
  }
  return kUsageError;
}
