#include "config/app/about_box.h"

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

  programPicture_ = new QLabel(panel);
  programPicture_->setObjectName(QStringLiteral("programPicture"));
  programPicture_->setPixmap(programPicture());
  programPicture_->setAlignment(Qt::AlignCenter);
  programPicture_->setMinimumHeight(60);
  programPicture_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Expanding);
  lblProductVersion_ = boldCentredLine(qt(kVersionLines[0].caption), panel);
  lblServiceVersion_ = boldCentredLine(qt(kVersionLines[1].caption), panel);
  lblProductVersion_->setObjectName(QStringLiteral("lblProductVersion"));
  lblServiceVersion_->setObjectName(QStringLiteral("lblServiceVersion"));

  link_ = new QLabel(panel);
  link_->setObjectName(QStringLiteral("link"));
  link_->setAlignment(Qt::AlignCenter);
  link_->setTextFormat(Qt::RichText);
  const QString address = qt(kMakerWebAddress);
  link_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()));
  link_->setOpenExternalLinks(true); // the system's default handler
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  QPalette colours = link_->palette();
  colours.setColor(QPalette::Link, colours.color(QPalette::Highlight));
  link_->setPalette(colours);

  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  panelLayout->setSpacing(4);
  panelLayout->addWidget(programPicture_, 1);
  panelLayout->addWidget(lblProductVersion_);
  panelLayout->addWidget(lblServiceVersion_);
  panelLayout->addWidget(link_);

  okButton_ = new QPushButton(QStringLiteral("OK"), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
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
