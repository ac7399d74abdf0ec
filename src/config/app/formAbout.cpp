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

namespace velmora::config::app {

namespace {

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

  imgProgram_ = new QLabel(panel);
  imgProgram_->setObjectName(QStringLiteral("imgProgram"));
  imgProgram_->setPixmap(programPicture());
  imgProgram_->setAlignment(Qt::AlignCenter);
  imgProgram_->setMinimumHeight(60);
  imgProgram_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
  lblProductVersion_ = boldCentredLine(qt(kVersionLines[0].caption), panel);
  lblServiceVersion_ = boldCentredLine(qt(kVersionLines[1].caption), panel);
  lblProductVersion_->setObjectName(QStringLiteral("lblProductVersion"));
  lblServiceVersion_->setObjectName(QStringLiteral("lblServiceVersion"));

  lblLink_ = new QLabel(panel);
  lblLink_->setObjectName(QStringLiteral("lblLink"));
  lblLink_->setAlignment(Qt::AlignCenter);
  lblLink_->setTextFormat(Qt::RichText);
  const QString address = qt(kMakerWebAddress);
  lblLink_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
  lblLink_->setOpenExternalLinks(true); // the system's default handler
  lblLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  QPalette link = lblLink_->palette();
  link.setColor(QPalette::Link, link.color(QPalette::Highlight));
  lblLink_->setPalette(link);

  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  panelLayout->setSpacing(4);
  panelLayout->addWidget(imgProgram_, 1);
  panelLayout->addWidget(lblProductVersion_);
  panelLayout->addWidget(lblServiceVersion_);
  panelLayout->addWidget(lblLink_);

  btnOK_ = new QPushButton(QStringLiteral("OK"), this);
  btnOK_->setObjectName(QStringLiteral("btnOK"));
  btnOK_->setDefault(true);
  connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK_);
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
  const std::array<QLabel*, 2> labels = {lblProductVersion_, lblServiceVersion_};
  for (std::size_t i = 0; i < kVersionLines.size(); ++i)
    if (const std::optional<std::string> text =
            aboutVersionText(programFolder_.toStdString(), kVersionLines[i]))
      labels[i]->setText(QString::fromStdString(*text));
}

} // namespace velmora::config::app
