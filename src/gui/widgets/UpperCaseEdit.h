#pragma once

#include <QLineEdit>

// A line edit that turns what is typed or pasted into upper case, keeping the cursor where it was.
class CUpperCaseEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit CUpperCaseEdit(QWidget* parent = nullptr);
};
