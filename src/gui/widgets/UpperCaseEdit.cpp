#include "gui/widgets/UpperCaseEdit.h"

CUpperCaseEdit::CUpperCaseEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = cursorPosition();
        setText(upper);
        setCursorPosition(cursor);
        // setText does not count as an edit; tell the listeners of edits about the final text.
        Q_EMIT textEdited(upper);
    });
}
