#pragma once
// FolderDialog: the folder selection dialog. The caller sets the folder (SetFolder, or
// FolderPath as text), runs exec() and, on 1 (OK), reads ChosenPath: the typed path as a
// Linux user means it ("~" is the home folder, a relative path lies below the folder
// selected in the tree), its missing folders made. FolderPath keeps the edit box's text
// as it stood. Cancel ends with 2. The dialog opens at 313 x 214 below its caption and
// may be resized.

#include <QDialog>
#include <QString>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace quorvane {

class FolderTree;

class FolderDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FolderDialog(QWidget* parent = nullptr);

  // The folder to start on, as its bytes on disk; FolderPath shows it.
  void SetFolder(const std::string& path);

  QString FolderPath;
  std::string ChosenPath;

  QWidget* Panel1;
  QLineEdit* Edit1;
  QLabel* Hint;
  FolderTree* FolderTree1;
  QPushButton* NewFolderBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

  // The path a typed text means: "~" and "~/..." below the home folder, a relative path
  // below `base`, the tree's own path (`shown` as text, `shownBytes` on disk) as it is on
  // disk; blanks at the end ignored. "" stays "".
  static std::string ResolveTyped(const QString& text, const std::string& base,
                                  const QString& shown, const std::string& shownBytes);

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceControls();
  void FolderTree1Change(const QString& path);
  void NewFolderBtnClick();
  void OKBtnClick();

  std::string start_;  // SetFolder's bytes
};

}  // namespace quorvane
