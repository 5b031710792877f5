#pragma once
// Tfoldersel: the folder selection dialog. The caller sets FolderPath, runs exec() and,
// on 1 (OK), reads FolderPath back: the edit box's text as it stood, a typed path as
// typed. Cancel ends with 2.

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QWidget;

namespace quorvane {

class TFolderTree;

class Tfoldersel : public QDialog {
  Q_OBJECT
 public:
  explicit Tfoldersel(QWidget* parent = nullptr);

  QString FolderPath;

  QWidget* Panel1;
  QLineEdit* Edit1;
  TFolderTree* FolderTree1;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FolderTree1Change(const QString& path);
  void OKBtnClick();
};

}  // namespace quorvane
