#include "lumora/ui/parts_bar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace lumora {

PartsBar::PartsBar(const std::vector<BarPart>& parts, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 1, 0, 0);
  layout->setSpacing(2);
  for (const BarPart& p : parts) {
    auto* label = new QLabel(p.text, this);
    label->setTextFormat(Qt::PlainText);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(p.raised ? QFrame::Raised : QFrame::Sunken);
    label->setContentsMargins(2, 0, 2, 0);
    if (p.width >= 0) {
      label->setFixedWidth(p.width);
      layout->addWidget(label);
    } else {
      layout->addWidget(label, 1);
    }
    labels_.push_back(label);
  }
}

QLabel* PartsBar::part_label(int part) const {
  return part >= 0 && part < part_count() ? labels_[static_cast<std::size_t>(part)] : nullptr;
}

QString PartsBar::part_text(int part) const {
  const QLabel* label = part_label(part);
  return label ? label->text() : QString();
}

void PartsBar::set_part_text(int part, const QString& text) {
  if (QLabel* label = part_label(part)) label->setText(text);
}

}  // namespace lumora
