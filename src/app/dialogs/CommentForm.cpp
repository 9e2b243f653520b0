#include "app/dialogs/CommentForm.h"

#include "ui_CommentForm.h"

namespace bw {

QString CommentToMemoText(const std::string& comment) {
  QString text = QString::fromStdString(comment);
  text.replace("\r\n", "\n");
  return text;
}

std::string MemoTextToComment(const QString& text) {
  QString comment = text;
  comment.replace("\r\n", "\n");
  comment.replace('\n', "\r\n");
  return comment.toStdString();
}

TCommentForm::TCommentForm(QWidget* parent)
    : TParentedForm(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      FUi(std::make_unique<Ui::TCommentForm>()) {
  FUi->setupUi(this);
  connect(FUi->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(FUi->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TCommentForm::~TCommentForm() = default;

void EditComment(const std::string& comment, TCommentDialogResult& result, QWidget* parent) {
  TCommentForm form(parent);
  form.Form().CommentMemo->setPlainText(CommentToMemoText(comment));
  if (form.exec() == QDialog::Accepted)
    result = {true, MemoTextToComment(form.Form().CommentMemo->toPlainText())};
  else
    result.Changed = false;
}

} // namespace bw
