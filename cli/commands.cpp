#include "cli/commands.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include <CLI/CLI.hpp>

#include "app/cli_error.h"
#include "app/session.h"
#include "document/batch_list.h"
#include "app/batch_run.h"
#include "document/colour_text.h"
#include "engine/checked_alloc.h"
#include "engine/render_error.h"
#include "engine/render_pipeline.h"
#include "app/save_rules.h"
#include "imaging/color_reduction.h"
#include "imaging/dib_image.h"
#include "imaging/graphics_exception.h"
#include "platform/program_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr int kUsageError = 2;

const std::vector<std::string> kTypeNames{"png256", "png", "jpeg", "bmp", "gif16", "gif256", "gif", "webp"};

struct OutputOptions {
  std::string type;
  int colours = 0;
  int jpegCompression = -1;
  bool progressive = false;
  bool pngSmall = false;
  int quality = -1;  // WebP: -1 lossless
  std::string matte;
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
void DropMatteOnOpaque(const PlaquetDocument& doc, SaveSettings& settings) {
  if (!settings.matte || doc.currentStyle.backdropKind == kBackdropTransparent) return;
  ReportError("", "--matte ignored: the backdrop is not transparent (give --transparent)");
  settings.matte.reset();
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

int RenderCommand(const SessionOptions& so, const std::string& output, const OutputOptions& oo) {
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
    if (isatty(STDOUT_FILENO)) {
      ReportError("-", "refusing to write binary picture data to a terminal; redirect the output or name a file");
      return kUsageError;
    }
  }
  SaveSettings settings = SettingsFor(oo, toStdout ? std::string() : output);
  Session s = OpenSession(so);
  DropMatteOnOpaque(s.doc, settings);
  RenderPreview(s.doc, *s.ctx);
  RenderForType(s.doc, *s.ctx, settings);
  if (toStdout) {
    // The document's own pressed-button setting would add a second picture.
    s.doc.pressedButton = 0;
    s.ctx->pressedButton = 0;
    ScratchFolder scratch;
    const auto names = WriteOutputFiles(s.doc, *s.ctx, (scratch.Path() / "picture").string(), settings);
    CopyToStandardOutput(names.front());
    return 0;
  }
  const auto names = WriteOutputFiles(s.doc, *s.ctx, output, settings);
  for (const auto& n : names) std::cout << n << "\n";
  return 0;
}

int SizeCommand(const SessionOptions& so, const OutputOptions& oo) {
  SaveSettings settings = SettingsFor(oo, "");
  Session s = OpenSession(so);
  DropMatteOnOpaque(s.doc, settings);
  RenderPreview(s.doc, *s.ctx);
  RenderForType(s.doc, *s.ctx, settings);
  // A transparent picture is measured from its true-colour picture and alpha.
  const bool opaque = s.doc.currentStyle.backdropKind != kBackdropTransparent;
  if (opaque && (settings.type == Gif16 || settings.type == Gif256 || settings.type == GifThroughConverter))
    RenderReduced(s.doc, *s.ctx, settings.type == Gif16 ? 16 : 256);
  else if (opaque && settings.type == Bmp && settings.colours)
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
  const bool reduce = colours && settings.type != Jpeg && settings.type != PngTrueColor && settings.type != Webp;
  if ((!reduce && !ExpandToTrueColour(picture)) || (reduce && !ReduceImage(picture, colours, 0xFFFFFF, 1)))
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
                 const OutputOptions& oo, bool force, int jobs) {
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
  DropMatteOnOpaque(s.doc, settings);
  BatchOptions options;
  options.base = base;
  options.save = settings;
  options.seed = s.seed;
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
  render->add_option("-o,--output", renderOut, "Output file (.png, .jpg, .bmp, .gif, .webp); - for standard output")
      ->required();
  AddOutputOptions(render, renderOut2, true);
  BackdropOptions renderBackdrop;
  AddBackdropOptions(render, renderBackdrop, renderOut2);
  AddSessionOptions(render, renderSession, true);

  SessionOptions batchSession;
  std::string batchList, batchDoc, batchBase;
  OutputOptions batchOut;
  bool force = false;
  int jobs = 0;
  auto* batch = app.add_subcommand("batch", "Render the document once per string of a batch list (.blt)");
  batch->add_option("LIST.blt", batchList, "Batch text list")->required();
  batch->add_option("DOC.plq", batchDoc, "Document (default: the start values)");
  batch->add_option("-o,--output", batchBase, "Base name: files are BASE0.ext, BASE1.ext, ...")->required();
  batch->add_option("--type", batchOut.type, "Output type (default: by the base name's extension, else png)")
      ->check(CLI::IsMember(kTypeNames));
  batch->add_option("--quality", batchOut.quality, "WebP: lossy at this quality 0..100 (default: lossless)")
      ->check(CLI::Range(0, 100));
  BackdropOptions batchBackdrop;
  AddBackdropOptions(batch, batchBackdrop, batchOut);
  batch->add_flag("--force", force, "Overwrite existing files");
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
  BackdropOptions sizeBackdrop;
  AddBackdropOptions(size, sizeBackdrop, sizeOut);
  AddSessionOptions(size, sizeSession, true);

  std::string convertIn, convertOut;
  OutputOptions convertOpts;
  auto* convert = app.add_subcommand("convert", "Read a picture (BMP, PNG, JPEG, GIF, WebP) and write it by OUT's extension");
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
      ApplyBackdrop(renderBackdrop, renderSession);
      return RenderCommand(renderSession, renderOut, renderOut2);
    }
    if (*batch) {
      batchSession.document = batchDoc;
      ApplyBackdrop(batchBackdrop, batchSession);
      if (batchOut.type.empty() && !ImageFileTypeForPath(batchBase)) batchOut.type = "png";
      return BatchCommand(batchList, batchSession, batchBase, batchOut, force, jobs);
    }
    if (*size) {
      sizeSession.document = sizeDoc;
      ApplyBackdrop(sizeBackdrop, sizeSession);
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
