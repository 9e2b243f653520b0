// The comment dialog: a node's free-text comment in a resizable memo.
#pragma once

#include "widgets/ParentedForm.h"

#include <QString>

#include <memory>
#include <string>

namespace Ui {
class TCommentForm;
}

namespace bw {

struct TCommentDialogResult {
  bool Changed = false;
  std::string Comment;
};

// A comment keeps its lines apart with CR LF, as the tree file and the
// painter expect; the memo works with LF.
QString CommentToMemoText(const std::string& comment);
std::string MemoTextToComment(const QString& text);

class TCommentForm : public TParentedForm {
  Q_OBJECT
public:
  explicit TCommentForm(QWidget* parent = nullptr);
  ~TCommentForm() override;

  Ui::TCommentForm& Form() { return *FUi; }

private:
  std::unique_ptr<Ui::TCommentForm> FUi;
};

// Opens the dialog on a comment; Changed with the memo's text on OK, else
// not changed. parent: the window it is centred on.
void EditComment(const std::string& comment, TCommentDialogResult& result,
                 QWidget* parent = nullptr);

} // namespace bw
