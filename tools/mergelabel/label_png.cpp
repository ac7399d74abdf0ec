#include "label_png.h"

#include "preview/app/label_painter.h"
#include "preview/zpl_renderer.h"

#include <QGuiApplication>

#include <stdexcept>

namespace velmora::tools {

void writeLabelPng(const std::vector<std::string>& mergedLines, int dpi, const std::string& path,
                   std::vector<std::string>& notes) {
  // Painting text needs a GUI application; no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "mergelabel";
  static char* argv[] = {name, nullptr};
  static QGuiApplication application(argc, argv);

  std::string text;
  for (const auto& line : mergedLines)
    text += line + "\r\n";
  const auto rendering = preview::renderZpl(text, {dpi, 0, 0, preview::kMaxLabels});
  notes = rendering.notes;
  if (!rendering.isZpl)
    throw std::runtime_error(std::string(preview::kNoPreviewNote));
  std::vector<QImage> images;
  for (std::size_t i = 0; i < rendering.labels.size(); ++i) {
    const auto& label = rendering.labels[i];
    for (const auto& note : label.notes)
      notes.push_back("label " + std::to_string(i + 1) + ": " + note);
    images.push_back(preview::app::paintLabel(label));
  }
  if (!preview::app::stackLabels(images).save(QString::fromStdString(path), "PNG"))
    throw std::runtime_error("cannot write " + path);
}

} // namespace velmora::tools
