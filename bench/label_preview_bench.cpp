// The label preview's speed: rendering one label to operations at 203 dpi,
// painting it one bit deep, and the whole redraw that follows a keystroke in
// the Label Editor (merge with the sample job, render, paint, scale for the
// screen). The goal is under 20 ms per label, so the preview keeps up with
// typing; a label whose field holds 300 KB (more than a printer takes: the
// renderer keeps 3,072 bytes of it) within 100 ms and 50 MB.
#include "config/design_preview.h"
#include "preview/app/label_painter.h"
#include "preview/zpl_renderer.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

// The demo design, merged with the sample job.
const std::string& demoDesign() {
  static const std::string text = readFile(VELMORA_DEMO_DESIGN);
  return text;
}

// A busier label: boxes, a reversed field, a field block, three linear
// barcodes and a QR code.
const std::string kBusyLabel =
    "^XA^PW812^LL609^CF0,30"
    "^FO10,10^GB792,589,4,B,2^FS"
    "^FO20,20^FR^GB300,60,60^FS^FO30,35^A0N,40^FD<Item Name>^FS"
    "^FO20,100^A0N,25^FB500,4,4,L^FD<Item Mod[1]> <Item Mod[2]> <Item Mod[3]> <Item Mod[4]> "
    "<Item Mod[5]> <Item Mod[6]> <Item Mod[7]>^FS"
    "^BY2^FO20,240^BCN,80,Y,N,N,A^FDAB123456cd^FS"
    "^FO20,360^B3N,N,60,Y^FDCODE39^FS"
    "^FO400,360^BEN,60,Y^FD400638133393^FS"
    "^FO560,60^BQN,2,4^FDQA,<Reference> <Phone> <Address>^FS"
    "^FO20,480^A0N,30^FD<Order Time (Parsed)> <Employee>^FS^XZ";

// One field of 300 KB, on a line and in a field block: what a design pasted
// from elsewhere, or a runaway value, may hold.
const std::string kHugeField =
    "^XA^FO20,20^A0N,30,30^FD<Item Name> " + std::string(300'000, 'X') + "^FS^XZ";
const std::string kHugeFieldBlock = [] {
  std::string words;
  while (words.size() < 300'000)
    words += "word ";
  return "^XA^FO20,20^A0N,30,30^FB780,400,0,L^FD<Item Name> " + words + "^FS^XZ";
}();

// The process's peak resident memory so far, in megabytes.
double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QGuiApplication& application() {
  static int argc = 1;
  static char name[] = "label_preview_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static auto* app = new QGuiApplication(argc, argv);
  return *app;
}

// The renderer alone, on the design's text as it stands.
void BM_RenderOperations(benchmark::State& state, const std::string* design) {
  for (auto _ : state)
    benchmark::DoNotOptimize(velmora::preview::renderZpl(*design));
  state.counters["ops"] =
      static_cast<double>(velmora::preview::renderZpl(*design).labels.at(0).ops.size());
}

// The design merged with the sample job as the spooler merges, then rendered.
void BM_MergeAndRender(benchmark::State& state, const std::string* design) {
  for (auto _ : state)
    benchmark::DoNotOptimize(velmora::config::previewDesign(*design, "02:09 PM", {}));
}

void BM_RenderAndPaint(benchmark::State& state, const std::string* design) {
  application();
  for (auto _ : state) {
    const auto rendering = velmora::config::previewDesign(*design, "02:09 PM", {});
    benchmark::DoNotOptimize(velmora::preview::app::paintLabel(rendering.labels.at(0)));
  }
}

// What the pane does after a keystroke: everything above, then the picture
// scaled into a pane of about 400 x 250 pixels.
void BM_KeystrokeRedraw(benchmark::State& state, const std::string* design) {
  application();
  for (auto _ : state) {
    const auto rendering = velmora::config::previewDesign(*design, "02:09 PM", {});
    const QImage label = velmora::preview::app::paintLabel(rendering.labels.at(0));
    benchmark::DoNotOptimize(
        label.convertToFormat(QImage::Format_RGB32)
            .scaled(QSize(400, 250), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
  state.counters["peakMB"] = peakMegabytes();
}

const std::string* demo() {
  return &demoDesign();
}

// A long design, as an operator may paste one: the busy label's fields
// repeated down 2,000 lines, each on a line of its own.
const std::string* longDesign() {
  static const std::string text = [] {
    std::string design = "^XA^PW812^LL609^CF0,30\n";
    for (int line = 0; line < 2000; ++line)
      design += "^FO" + std::to_string(10 + line % 700) + "," + std::to_string(10 + line % 500) +
                "^A0N,25^FD<Item Name> " + std::to_string(line) + "^FS\n";
    return design + "^XZ";
  }();
  return &text;
}

} // namespace

BENCHMARK_CAPTURE(BM_RenderOperations, demo_design, demo())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderOperations, busy_label, &kBusyLabel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MergeAndRender, demo_design, demo())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MergeAndRender, busy_label, &kBusyLabel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderAndPaint, demo_design, demo())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderAndPaint, busy_label, &kBusyLabel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeRedraw, demo_design, demo())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeRedraw, busy_label, &kBusyLabel)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MergeAndRender, long_design, longDesign())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderAndPaint, long_design, longDesign())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeRedraw, long_design, longDesign())->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_RenderOperations, huge_field, &kHugeField)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderOperations, huge_field_block, &kHugeFieldBlock)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MergeAndRender, huge_field, &kHugeField)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderAndPaint, huge_field, &kHugeField)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeRedraw, huge_field, &kHugeField)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KeystrokeRedraw, huge_field_block, &kHugeFieldBlock)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
