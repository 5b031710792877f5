#include "shell/ui/GridStatus.h"

#include <QAccessible>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTimer>

#include "thumbnails/ui/ImgListView.h"

namespace quorvane {

namespace {

constexpr int kSettleMs = 100;  // a burst of changes gives one update

QString BytesText(int64_t bytes) {
  if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = double(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) {
    value /= 1024;
    ++unit;
  }
  return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

}  // namespace

QString GridStatusText(int pictures, int folders, int selected, int64_t selectedBytes, int width,
                       int height) {
  QString text = QStringLiteral("그림 %1개, 폴더 %2개").arg(pictures).arg(folders);
  if (selected > 0)
    text += QStringLiteral("  ·  %1개 선택 (%2)").arg(selected).arg(BytesText(selectedBytes));
  if (width > 0 && height > 0) text += QStringLiteral("  ·  %1x%2").arg(width).arg(height);
  return text;
}

GridStatus::GridStatus(ImgListView* grid, QWidget* parent)
    : QStatusBar(parent), grid_(grid), label_(new QLabel(this)), timer_(new QTimer(this)) {
  setSizeGripEnabled(false);
  setAccessibleName(QStringLiteral("상태"));
  addWidget(label_, 1);
  timer_->setSingleShot(true);
  timer_->setInterval(kSettleMs);
  connect(timer_, &QTimer::timeout, this, &GridStatus::Update);
  const auto later = [this] { timer_->start(); };
  QAbstractItemModel* model = grid_->model();
  connect(model, &QAbstractItemModel::rowsInserted, this, later);
  connect(model, &QAbstractItemModel::rowsRemoved, this, later);
  connect(model, &QAbstractItemModel::modelReset, this, later);
  connect(model, &QAbstractItemModel::layoutChanged, this, later);
  connect(model, &QAbstractItemModel::dataChanged, this, later);
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, later);
  connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this, later);
  // A message (showMessage) is only drawn by the status bar: screen readers get it as the
  // bar's description, the counts again once it is gone.
  connect(this, &QStatusBar::messageChanged, this, [this](const QString& message) {
    Describe(message.isEmpty() ? label_->text() : message);
  });
  Update();
}

QString GridStatus::Text() const { return label_->text(); }

void GridStatus::Update() {
  timer_->stop();
  if (!grid_) return;
  int pictures = 0, folders = 0;
  const int count = grid_->Count();
  for (int i = 0; i < count; ++i) {
    const GridItem* item = grid_->Item(i);
    if (!item) continue;
    (item->IsFolder() ? folders : pictures)++;
  }
  int selected = 0;
  int64_t bytes = 0;
  for (GridItem* item : grid_->SelectedItems()) {
    ++selected;
    if (!item->IsFolder()) bytes += item->Size();
  }
  int width = 0, height = 0;
  const QModelIndex current = grid_->currentIndex();
  if (const GridItem* item = current.isValid() ? grid_->Item(current.row()) : nullptr;
      item && !item->IsFolder()) {
    width = item->SourceWidth;
    height = item->SourceHeight;
  }
  label_->setText(GridStatusText(pictures, folders, selected, bytes, width, height));
  if (currentMessage().isEmpty()) Describe(label_->text());
}

void GridStatus::Describe(const QString& text) {
  if (accessibleDescription() == text) return;
  setAccessibleDescription(text);
  // Told to screen readers (this Qt's setter does not tell them by itself).
  QAccessibleEvent event(this, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&event);
}

}  // namespace quorvane
