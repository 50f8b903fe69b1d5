#include "cli/commands.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include <CLI/CLI.hpp>

#include "app/cli_error.h"
#include "app/session.h"
#include "document/preferences.h"
#include "document/batch_list.h"
#include "app/batch_run.h"
#include "engine/checked_alloc.h"
#include "raster/render_error.h"
#include "engine/render_pipeline.h"
#include "app/save_rules.h"
#include "imaging/color_reduction.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "platform/program_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 2;

const std::vector<std::string> kTypeNames{"png256", "png", "jpeg", "bmp", "gif16", "gif256", "gif"};

struct OutputOptions {
  std::string type;
  int colours = 0;
  int jpegCompression = -1;
  bool progressive = false;
  bool pngSmall = false;
  std::string quantizer;  // empty: the preference
  bool dither = false;    // on: dithered; off: the preference
};

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
  if (o.dither) settings.dithering = 1;
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
  AddReductionOptions(cmd, o);
}

void AddSessionOptions(CLI::App* cmd, SessionOptions& s, bool withStyleAndText) {
  if (withStyleAndText) {
    cmd->add_option("--style", s.style, "Style file (.sty) whose effects the message takes")
        ;
    cmd->add_option("--text", s.text, "Message text (line feeds start new lines)");
  }
  cmd->add_flag("--pressed", s.pressed, "Also write the pressed-button picture (name_.ext)");
  cmd->add_option("--seed", s.seed, "Seed of the random effects (default: the time)");
}

SaveSettings SettingsFor(const OutputOptions& o, const std::string& outputPath) {
  std::optional<ImageFileType> type;
  if (!o.type.empty()) {
    type = ImageFileTypeFromName(o.type);
  } else {
    type = ImageFileTypeForPath(outputPath, o.colours);
    if (!type)
      throw CliError(outputPath, "cannot tell the file type from the name; give --type (" +
                                     std::string("png256, png, jpeg, bmp, gif16, gif256, gif)"));
  }
  SaveSettings settings = MakeSaveSettings(*type);
  settings.colours = o.colours;
  settings.jpegQuality = o.jpegCompression;
  settings.jpegProgressive = o.progressive;
  settings.pngSmall = o.pngSmall;
  if (settings.type == PngTrueColor && o.colours) settings.type = Png256;
  if (settings.type == GifThroughConverter && o.colours == 16) settings.type = Gif16;
  return settings;
}

int RenderCommand(const SessionOptions& so, const std::string& output, const OutputOptions& oo) {
  SaveSettings settings = SettingsFor(oo, output);
  Session s = OpenSession(so);
  ApplyReduction(s, oo);
  RenderPreview(s.doc, *s.ctx);
  RenderForType(s.doc, *s.ctx, settings);
  const auto names = WriteOutputFiles(s.doc, *s.ctx, output, settings);
  for (const auto& n : names) std::cout << n << "\n";
  return 0;
}

int SizeCommand(const SessionOptions& so, const OutputOptions& oo) {
  SaveSettings settings = SettingsFor(oo, "");
  Session s = OpenSession(so);
  ApplyReduction(s, oo);
  RenderPreview(s.doc, *s.ctx);
  RenderForType(s.doc, *s.ctx, settings);
  if (settings.type == Gif16 || settings.type == Gif256 || settings.type == GifThroughConverter)
    RenderReduced(s.doc, *s.ctx, settings.type == Gif16 ? 16 : 256);
  else if (settings.type == Bmp && settings.colours)
    RenderReduced(s.doc, *s.ctx, settings.colours);
  std::cout << CalculateFileSize(s.doc, *s.ctx, settings, platform::CacheFolder()) << "\n";
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
  const bool reduce = colours && settings.type != Jpeg && settings.type != PngTrueColor;
  const ProgramSettings prefs = WithReduction(LoadPreferences(PreferencesPath()), oo);
  if ((!reduce && !ExpandToTrueColour(picture)) ||
      (reduce && !ReduceImage(picture, colours, 0xFFFFFF, prefs.reduceColorMethod, prefs.dithering != 0)))
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
  }

 private:
  bool enabled_;
};

int BatchCommand(const std::string& listPath, const SessionOptions& so, const std::string& base,
                 const OutputOptions& oo, bool force, int jobs, bool sharedPalette) {
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> strings;
  std::string error;
  bool cut = false;
  if (!ReadBatchListFile(listPath, strings, &error, &cut)) throw CliError(listPath, error);
  if (cut) std::cerr << "quorbel: " << listPath << ": strings longer than " << kMaxText
                     << " characters were cut\n";
  if (strings.empty()) {
    std::cerr << "quorbel: " << listPath << ": the list holds no strings; nothing written\n";
    return 0;
  }
  // Without an extension the type's own is used; with --type the name's own extension is replaced.
  SaveSettings settings = SettingsFor(oo, oo.type.empty() ? base : std::string());
  Session s = OpenSession(so);
  ApplyReduction(s, oo);
  BatchOptions options;
  options.base = base;
  options.save = settings;
  options.seed = s.seed;
  options.sharedPalette = sharedPalette;
  if (sharedPalette && !ReducedColours(settings))
    std::cerr << "quorbel: " << base << ": --shared-palette applies only to 16- and 256-colour types; ignored\n";
  options.jobs = jobs > 0 ? jobs : int(std::max(1u, std::thread::hardware_concurrency()));
  const PlaquetDocument& doc = s.doc;
  const ProgramSettings prefs = s.settings;
  options.prepareContext = [&doc, prefs](EngineContext& ctx) { PrepareContext(ctx, doc, prefs); };
  ProgressBar bar(isatty(STDERR_FILENO));
  options.progress = [&bar](int done, int total) { bar.Update(done, total); };

  const fs::path folder = fs::path(base).parent_path().empty() ? fs::path(".") : fs::path(base).parent_path();
  if (!fs::is_directory(folder)) throw CliError(folder.string(), "no such folder");
  if (!force) {
    for (size_t i = 0; i < strings.size(); ++i)
      for (const auto& name : BatchFileNames(doc, options, i))
        if (fs::exists(name))
          throw CliError(name, "file exists; give --force to overwrite existing files");
  }

  const BatchResult result = RunBatch(doc, strings, options);
  for (const auto& f : result.failures) ReportError(f.file, f.reason);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "quorbel: %zu files written, %zu failed, in %.2f s\n", result.written.size(),
               result.failures.size(), seconds);
  return result.failures.empty() ? 0 : 1;
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
  InstallOutOfMemoryHandler();
  CLI::App app{"Quorbel makes small decorated pictures of text: headings, web buttons and banners.\n"
               "Without a command it opens the desktop application.",
               "quorbel"};
  app.set_version_flag("--version", "Quorbel 1.4.00");
  app.require_subcommand(1);

  SessionOptions renderSession;
  std::string renderDoc, renderOut;
  OutputOptions renderOut2;
  auto* render = app.add_subcommand("render", "Render a document (or the start values) to a picture file");
  render->add_option("DOC.plq", renderDoc, "Document to render (default: the start values)");
  render->add_option("-o,--output", renderOut, "Output file (.png, .jpg, .bmp, .gif)")->required();
  AddOutputOptions(render, renderOut2, true);
  AddSessionOptions(render, renderSession, true);

  SessionOptions batchSession;
  std::string batchList, batchDoc, batchBase;
  OutputOptions batchOut;
  bool force = false, sharedPalette = false;
  int jobs = 0;
  auto* batch = app.add_subcommand("batch", "Render the document once per string of a batch list (.blt)");
  batch->add_option("LIST.blt", batchList, "Batch text list")->required();
  batch->add_option("DOC.plq", batchDoc, "Document (default: the start values)");
  batch->add_option("-o,--output", batchBase, "Base name: files are BASE0.ext, BASE1.ext, ...")->required();
  batch->add_option("--type", batchOut.type, "Output type (default: by the base name's extension, else png)")
      ->check(CLI::IsMember(kTypeNames));
  batch->add_flag("--force", force, "Overwrite existing files");
  AddReductionOptions(batch, batchOut);
  batch->add_flag("--shared-palette", sharedPalette,
                  "One palette for every picture of the batch (16- and 256-colour types)");
  batch->add_option("--jobs", jobs, "Strings rendered in parallel (default: the number of cores)")
      ->check(CLI::PositiveNumber);
  AddSessionOptions(batch, batchSession, false);

  SessionOptions sizeSession;
  std::string sizeDoc;
  OutputOptions sizeOut;
  auto* size = app.add_subcommand("size", "Print the byte size the picture would have as a file");
  size->add_option("DOC.plq", sizeDoc, "Document (default: the start values)");
  AddOutputOptions(size, sizeOut, true);
  size->get_option("--type")->required();
  AddSessionOptions(size, sizeSession, true);

  std::string convertIn, convertOut;
  OutputOptions convertOpts;
  auto* convert = app.add_subcommand("convert", "Read a picture (BMP, PNG, JPEG, GIF) and write it by OUT's extension");
  convert->add_option("IN", convertIn, "Input picture")->required();
  convert->add_option("OUT", convertOut, "Output picture")->required();
  AddOutputOptions(convert, convertOpts, false);

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
      renderSession.document = renderDoc;
      return RenderCommand(renderSession, renderOut, renderOut2);
    }
    if (*batch) {
      batchSession.document = batchDoc;
      if (batchOut.type.empty() && !ImageFileTypeForPath(batchBase)) batchOut.type = "png";
      return BatchCommand(batchList, batchSession, batchBase, batchOut, force, jobs, sharedPalette);
    }
    if (*size) {
      sizeSession.document = sizeDoc;
      return SizeCommand(sizeSession, sizeOut);
    }
    if (*convert) return ConvertCommand(convertIn, convertOut, convertOpts);
  } catch (const CliError& e) {
    ReportError(e.file, e.what());
    return 1;
  } catch (const RenderError& e) {
    ReportError("", e.what());
    return 1;
  } catch (const GraphicsException& e) {
    ReportError("", e.what());
    return 1;
  } catch (const std::exception& e) {
    ReportError("", e.what());
    return 1;
  }
  return kUsageError;
}
