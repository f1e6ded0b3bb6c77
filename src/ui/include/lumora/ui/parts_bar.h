// A status bar made of fixed-width parts, each with its own text and border.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QLabel;

namespace lumora {

struct BarPart {
  int width = -1;  // pixels; -1 reaches to the right edge
  bool raised = false;
  QString text;
};

class PartsBar : public QWidget {
  Q_OBJECT

 public:
  PartsBar(const std::vector<BarPart>& parts, QWidget* parent);

  int part_count() const { return static_cast<int>(labels_.size()); }
  // Out-of-range parts read as empty and ignore writes.
  QString part_text(int part) const;
  void set_part_text(int part, const QString& text);
  QLabel* part_label(int part) const;

 private:
  std::vector<QLabel*> labels_;
};

}  // namespace lumora
