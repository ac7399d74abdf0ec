#include "config/app/formAbout.h"

#include "config/app/program_picture.h"
#include "config/program_messages.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <array>

namespace velmora::dovetack {

namespace {

constexpr const auto& kVersionLines = config::kVersionLines;

QString qt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* boldCentredLine(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setTextFormat(Qt::PlainText);
  return label;
}

} // namespace

TAboutBox::TAboutBox(QString programFolder, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      programFolder_(std::move(programFolder)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(402, 219);

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Sunken);
  panel->setAutoFillBackground(true);
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  panel->setPalette(white);

  imgProgram = new QLabel(panel);
  imgProgram->setPixmap(programPicture());
  imgProgram->setAlignment(Qt::AlignCenter);
  imgProgram->setMinimumHeight(60);
  imgProgram->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
  lblProductVersion = boldCentredLine(qt(kVersionLines[0].caption), panel);
  lblServiceVersion = boldCentredLine(qt(kVersionLines[1].caption), panel);

  lblLink = new QLabel(panel);
  lblLink->setAlignment(Qt::AlignCenter);
  lblLink->setTextFormat(Qt::RichText);
  const QString address = qt(kMakerWebAddress);
  lblLink->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
  lblLink->setOpenExternalLinks(true); // the system's default handler
  lblLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  QPalette link = lblLink->palette();
  link.setColor(QPalette::Link, link.color(QPalette::Highlight));
  lblLink->setPalette(link);

  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  panelLayout->setSpacing(4);
  panelLayout->addWidget(imgProgram, 1);
  panelLayout->addWidget(lblProductVersion);
  panelLayout->addWidget(lblServiceVersion);
  panelLayout->addWidget(lblLink);

  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(panel, 1);
  layout->addLayout(buttons);
}

void TAboutBox::showEvent(QShowEvent* event) {
  FormShow();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
  const std::array<QLabel*, 2> labels = {lblProductVersion, lblServiceVersion};
  for (std::size_t i = 0; i < kVersionLines.size(); ++i)
    if (const std::optional<std::string> text =
            config::aboutVersionText(programFolder_.toStdString(), kVersionLines[i]))
      labels[i]->setText(QString::fromStdString(*text));
}

} // namespace velmora::dovetack
