// kinetrix-cli: shows what a bitmap strip or AVI movie holds and converts between them, with the
// same document operations the program runs behind its dialogs.
//
//   kinetrix-cli info FILE
//   kinetrix-cli convert INPUT OUTPUT [--frame-height N | --frames N] [--speed MS] [--rle]
//   [--transparent] [--loop N] [--quiet]
//   kinetrix-cli --help | --version
//
// Exit status: 0 success, 1 failure (one line on stderr says why), 2 usage error.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "doc/animation_document.h"
#include "doc/file_readers.h"
#include "doc/frame_delta.h"
#include "doc/frame_rules.h"
#include "doc/gif_format.h"

namespace {

std::string UsageText() {
    return "usage: kinetrix-cli info FILE\n"
           "       kinetrix-cli convert INPUT OUTPUT [--frame-height N | --frames N] [--speed MS]\n"
           "                    [--rle] [--transparent] [--loop N] [--quiet]\n"
           "       kinetrix-cli --help | --version\n"
           "\n"
           "INPUT is a bitmap or PNG strip, an AVI movie or an animated GIF or PNG; OUTPUT ends\n"
           "in .avi, .bmp, .gif (an animated GIF) or .png (an animated PNG).\n"
           "A strip is cut into frames of --frame-height rows, or into --frames frames; without\n"
           "either the whole strip is one frame. --speed sets milliseconds per frame, " +
           std::to_string(kx::kShortestFramePeriodMs) + " to " +
           std::to_string(kx::kLongestFramePeriodMs) +
           "\n"
           "(default 100 for a strip, the movie's own for an AVI). --rle writes a run-length\n"
           "compressed bitmap. For a GIF or PNG, --transparent shows the movie's transparent\n"
           "colour (its top-left pixel's) as transparent and --loop N plays the frames N times\n"
           "(0, the default, for ever). --quiet shows no progress bar.\n";
}

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Plays of an animation: a GIF holds at most 65535 repeats after the first play.
constexpr int32_t kMostPlays = 65536;
// The frame period of a strip when --speed does not give one, as in the program.
constexpr int32_t kDefaultStripPeriodMs = 100;

// Set by Ctrl+C; the progress sink then answers Cancel, as the dialog's Cancel button does.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

int Usage(const std::string& problem) {
    if (!problem.empty()) {
        std::fprintf(stderr, "kinetrix-cli: %s\n", problem.c_str());
    }
    std::fputs(UsageText().c_str(), stderr);
    return kExitUsage;
}

class ConsoleProgress;
// The bar being drawn, if any, so that a message does not land on its line.
ConsoleProgress* g_bar = nullptr;

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

// A Windows name may hold an unpaired surrogate, which has no UTF-8 form (the conversion
// throws); such a name is shown as a placeholder. The path itself is kept separately.
std::string Utf8(const std::filesystem::path& path) {
    try {
        const auto text = path.u8string();
        return std::string(text.begin(), text.end());
    } catch (const std::exception&) {
        return "(a name with no UTF-8 form)";
    }
}

// Reports of the document operations drawn as a one-line bar on stderr; answers Cancel once
// Ctrl+C was pressed.
class ConsoleProgress final : public kx::ProgressSink {
public:
    explicit ConsoleProgress(bool draw) : draw_(draw) { g_bar = this; }
    ~ConsoleProgress() override {
        Clear();
        g_bar = nullptr;
    }

    bool Report(uint32_t wParam, int32_t lParam) override {
        if (g_interrupted) {
            return false;
        }
        if (lParam > 0) {
            phase_ = PhaseName(lParam);
            if (wParam != 0) {
                range_ = wParam;
                position_ = 0;
            }
            Draw(true);
        } else if (lParam == kx::kProgressStep && wParam != 0) {
            position_ += wParam;
            Draw(false);
        }
        return !g_interrupted;
    }

    // Takes the bar off the line so that a message can take its place.
    void Clear() {
        if (drawn_) {
            std::fprintf(stderr, "\r%-70s\r", "");
            std::fflush(stderr);
            drawn_ = false;
            shown_ = -1;
        }
    }

private:
    static const char* PhaseName(int32_t phase) {
        switch (phase) {
            case kx::kPhaseReading:
                return "reading";
            case kx::kPhaseWriting:
                return "writing";
            case kx::kPhaseDecoding:
                return "decoding";
            case kx::kPhaseEncoding:
                return "encoding";
            case kx::kPhaseConverting:
                return "converting to 256 colours";
            case kx::kPhaseComposing:
                return "composing";
            default:
                return "working";
        }
    }

    void Draw(bool force) {
        if (!draw_) {
            return;
        }
        const uint64_t done = range_ == 0 ? 0 : std::min<uint64_t>(position_, range_);
        const int percent = range_ == 0 ? 0 : int(done * 100 / range_);
        if (!force && percent == shown_) {
            return;
        }
        shown_ = percent;
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        std::string bar(size_t(filled), '#');
        bar.append(size_t(kWidth - filled), '.');
        std::fprintf(stderr, "\r[%s] %3d%% %-28s", bar.c_str(), percent, phase_);
        std::fflush(stderr);
        drawn_ = true;
    }

    bool draw_;
    bool drawn_ = false;
    const char* phase_ = "";
    uint64_t range_ = 0;
    uint64_t position_ = 0;
    int shown_ = -1;
};

int Failure(const std::string& reason) {
    if (g_bar != nullptr) {
        g_bar->Clear();
    }
    std::fprintf(stderr, "kinetrix-cli: %s\n", reason.c_str());
    return kExitFailure;
}

// Loads INPUT as the program's open command does, with the reader its first bytes choose; a strip
// stays one frame.
int Load(kx::CAnimationDocument& doc, kx::ProgressSink* progress, const std::filesystem::path& path,
         int32_t stripPeriodMs, const kx::FileReader*& reader) {
    const kx::ReaderChoice choice = kx::ChooseReader(path);
    if (choice.reader == nullptr) {
        return Failure(Utf8(path.filename()) + ": " + choice.problem);
    }
    reader = choice.reader;
    if (!reader->load(doc, progress, path, stripPeriodMs)) {
        return Failure(Utf8(path.filename()) + ": " + doc.FailureReason());
    }
    return 0;
}

const char* CompressionName(uint32_t compression) {
    switch (compression) {
        case uint32_t(kx::Compression::Rgb):
            return "rgb";
        case uint32_t(kx::Compression::Rle8):
            return "rle8";
        case uint32_t(kx::Compression::Rle4):
            return "rle4";
        default:
            return "other";
    }
}

int Info(const std::vector<std::string>& args, const std::vector<std::filesystem::path>& paths) {
    if (args.size() != 2) {
        return Usage("info takes one file");
    }
    kx::CAnimationDocument doc;
    const kx::FileReader* reader = nullptr;
    if (const int failed = Load(doc, nullptr, paths[1], kDefaultStripPeriodMs, reader)) {
        return failed;
    }
    const kx::SourceInfo& source = doc.Source();
    std::printf("kind: %s\n", reader->name);
    std::printf("width: %d\n", int(doc.FrameWidth()));
    std::printf("height: %d\n", int(doc.FrameHeight()));
    std::printf("frames: %d\n", int(doc.FrameCount()));
    std::printf("bits: %u\n", unsigned(source.bitCount));
    std::printf("compression: %s\n", CompressionName(source.compression));
    std::printf("palette: %d\n", int(doc.Palette().count));
    std::printf("speed: %u\n", unsigned(doc.MicroSecPerFrame() / 1000));
    std::printf("transparent: %u\n", unsigned(doc.TransparentIndex()));
    std::printf("transparency-usable: %s\n", doc.TransparencyUsable() ? "yes" : "no");
    if (source.delaysDiffer) {
        std::printf("delays: differ\n");
    }
    return 0;
}

std::optional<int32_t> PositiveNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    const int32_t value = std::stoi(text);
    return value >= 1 ? std::optional<int32_t>(value) : std::nullopt;
}

std::string LowerExtension(const std::filesystem::path& path) {
    std::string ext = Utf8(path.extension());
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return ext;
}

// 0 to kMostPlays.
std::optional<int32_t> PlayCount(const std::string& text) {
    if (text == "0") {
        return 0;
    }
    const auto value = PositiveNumber(text);
    return value && *value <= kMostPlays ? value : std::nullopt;
}

int SaveGif(kx::CAnimationDocument& doc, ConsoleProgress& console,
            const std::filesystem::path& output, const kx::AnimationOptions& animation) {
    if (!doc.SaveGif(&console, output, animation)) {
        return 0;
    }
    if (kx::GifDelayRaised(doc.MicroSecPerFrame())) {
        console.Clear();
        std::fprintf(stderr,
                     "kinetrix-cli: a GIF shows frames for at least 20 ms; the GIF uses 20 ms "
                     "instead of %u ms\n",
                     unsigned(doc.MicroSecPerFrame() / 1000));
    }
    return 1;
}

struct ConvertOptions {
    std::optional<int32_t> frameHeight;
    std::optional<int32_t> frames;
    std::optional<int32_t> speed;
    bool rle = false;
    bool quiet = false;
    kx::AnimationOptions animation;
    bool animationAsked = false;
    std::vector<size_t> positional;  // argument numbers of the input and output
};

// --frame-height, --frames or --speed and its number at args[i]; moves i past the number.
std::string ParseNumberOption(const std::vector<std::string>& args, size_t& i, ConvertOptions& o) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) {
        return a + " needs a number";
    }
    const auto value = PositiveNumber(args[++i]);
    if (!value) {
        return a + " needs a whole number of at least 1, not \"" + args[i] + "\"";
    }
    if (a == "--speed" && *value > kx::kLongestFramePeriodMs) {
        return "--speed takes " + std::to_string(kx::kShortestFramePeriodMs) + " to " +
               std::to_string(kx::kLongestFramePeriodMs) + " milliseconds, not " + args[i];
    }
    (a == "--frame-height" ? o.frameHeight : a == "--frames" ? o.frames : o.speed) = value;
    return {};
}

// The options of convert; "" when they are well formed, else what is wrong.
std::string ParseConvertOptions(const std::vector<std::string>& args, ConvertOptions& o) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--frame-height" || a == "--frames" || a == "--speed") {
            if (std::string problem = ParseNumberOption(args, i, o); !problem.empty()) {
                return problem;
            }
        } else if (a == "--loop") {
            const auto plays = i + 1 < args.size() ? PlayCount(args[++i]) : std::nullopt;
            if (!plays) {
                return "--loop needs a number of plays from 0 (for ever) to " +
                       std::to_string(kMostPlays);
            }
            o.animation.plays = uint32_t(*plays);
            o.animationAsked = true;
        } else if (a == "--transparent") {
            o.animation.transparent = true;
            o.animationAsked = true;
        } else if (a == "--rle" || a == "--quiet") {
            (a == "--rle" ? o.rle : o.quiet) = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else {
            o.positional.push_back(i);
        }
    }
    return {};
}

// Whether the options fit each other and the output's kind (its lower-case extension).
std::string CheckConvertOptions(const ConvertOptions& o, const std::string& ext) {
    if (o.positional.size() != 2) {
        return "convert takes an input and an output file";
    }
    if (o.frameHeight && o.frames) {
        return "give --frame-height or --frames, not both";
    }
    if (ext != ".avi" && ext != ".bmp" && ext != ".gif" && ext != ".png") {
        return "the output file must end in .avi, .bmp, .gif or .png";
    }
    if (o.rle && ext != ".bmp") {
        return "--rle applies to bitmap output only";
    }
    if (o.animationAsked && ext != ".gif" && ext != ".png") {
        return "--transparent and --loop apply to GIF and PNG output only";
    }
    return {};
}

// Cuts a strip as the options say and takes their speed; says when a movie's delays differed.
int Shape(kx::CAnimationDocument& doc, const kx::FileReader& reader, ConsoleProgress& console,
          const ConvertOptions& o) {
    if (kx::LoadedAsStrip(reader, doc)) {
        const int32_t stripHeight = doc.FrameHeight();
        const int32_t height = o.frameHeight ? *o.frameHeight
                               : o.frames    ? kx::FieldsFromCount(stripHeight, *o.frames).height
                                             : stripHeight;
        if (!doc.ComposeFromStrip(&console, height)) {
            return Failure(doc.FailureReason());
        }
    } else if (o.frameHeight || o.frames) {
        return Usage("--frame-height and --frames apply to a strip, not a movie");
    }
    if (doc.Source().delaysDiffer && !o.speed) {
        console.Clear();
        std::fprintf(stderr,
                     "kinetrix-cli: the frames have different delays; the movie shows each for "
                     "%u ms, the most frequent\n",
                     unsigned(doc.MicroSecPerFrame() / 1000));
    }
    if (o.speed) {
        doc.SetSpeed(*o.speed);
    }
    return 0;
}

int Convert(const std::vector<std::string>& args, const std::vector<std::filesystem::path>& paths) {
    ConvertOptions o;
    if (std::string problem = ParseConvertOptions(args, o); !problem.empty()) {
        return Usage(problem);
    }
    const std::string ext = o.positional.size() == 2 ? LowerExtension(paths[o.positional[1]]) : "";
    if (std::string problem = CheckConvertOptions(o, ext); !problem.empty()) {
        return Usage(problem);
    }
    const std::filesystem::path& input = paths[o.positional[0]];
    const std::filesystem::path& output = paths[o.positional[1]];

    std::signal(SIGINT, OnInterrupt);
    ConsoleProgress console(!o.quiet && StderrIsTerminal());
    kx::CAnimationDocument doc;
    const kx::FileReader* reader = nullptr;
    if (const int failed =
            Load(doc, &console, input, o.speed.value_or(kDefaultStripPeriodMs), reader)) {
        return failed;
    }
    if (const int failed = Shape(doc, *reader, console, o)) {
        return failed;
    }
    const int saved = ext == ".avi"   ? doc.SaveAvi(&console, output)
                      : ext == ".gif" ? SaveGif(doc, console, output, o.animation)
                      : ext == ".png" ? doc.SaveApng(&console, output, o.animation)
                                      : doc.SaveBitmap(&console, output, o.rle);
    return saved ? 0 : Failure(doc.FailureReason());
}

int Run(const std::vector<std::string>& args, const std::vector<std::filesystem::path>& paths) {
    if (args.empty()) {
        return Usage("");
    }
    // Help and version answer wherever they stand, on standard output.
    if (std::find(args.begin(), args.end(), "--help") != args.end() || args[0] == "-h" ||
        args[0] == "help") {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (std::find(args.begin(), args.end(), "--version") != args.end()) {
        std::printf("kinetrix-cli %s\n", KX_VERSION);
        return 0;
    }
    if (args[0] == "info") {
        return Info(args, paths);
    }
    if (args[0] == "convert") {
        return Convert(args, paths);
    }
    return Usage("unknown command " + args[0]);
}

}  // namespace

// Arguments are kept twice: as text for the options and as paths, which on Windows keep every
// character of a UTF-16 file name.
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i < argc; ++i) {
        paths.emplace_back(argv[i]);
        args.push_back(Utf8(paths.back()));
    }
    return Run(args, paths);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
        paths.emplace_back(argv[i]);
    }
    return Run(args, paths);
}
#endif
