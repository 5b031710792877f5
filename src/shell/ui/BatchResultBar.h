#pragma once
// The bar above the grid after a batch: how many files went into which folder, a
// button that opens that folder in the user's file manager and, when files failed, a
// button with their count that shows the batch's memo again. It closes itself after
// ten seconds, or when clicked anywhere.

#include <QFrame>
#include <QString>
#include <QUrl>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace quorvane {

class BatchResultBar : public QFrame {
 public:
  static constexpr int kShowMs = 10000;

  explicit BatchResultBar(QWidget* parent = nullptr);

  // Shows the outcome of a batch; `memo` is the text of its memo. The folder is a file
  // name as the file system holds it (bytes that need not be UTF-8).
  void ShowResult(int saved, const std::string& folder, int errors, const QString& memo);
  void ShowResult(int saved, const QString& folder, int errors, const QString& memo);

  QLabel* Message;  // the text, shortened in the middle when the bar is too narrow
  QPushButton* OpenFolderBtn;  // "폴더 열기"
  QPushButton* ErrorsBtn;      // "오류 M개", shown when files failed
  QTimer* HideTimer;

  // The whole message (Message may show it shortened).
  const QString& Text() const { return text_; }

  // Opens a folder for the user; by default the desktop's file manager
  // (QDesktopServices, xdg-open) on FolderUrl. Tests replace it.
  std::function<void(const std::string& folder)> OpenFolder;
  // The folder's "file:" URL, every byte of its name kept (escaped).
  static QUrl FolderUrl(const std::string& folder);

  // The window that shows the memo again (null until ErrorsBtn is clicked).
  QWidget* MemoWindow() const { return memoWindow_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowMemo();
  void FitMessage();

  QString text_;
  std::string folder_;
  QString memo_;
  QWidget* memoWindow_ = nullptr;
};

}  // namespace quorvane
