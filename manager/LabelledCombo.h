#pragma once

class QComboBox;
class QString;

// An editable box a screen reader reads by its label ("Hour"), its value
// ("02") as the value. Qt's own interface names such a box by its text on
// this desktop, which leaves Hour and Minute as two bare numbers. Uses the
// box's accessible name as the label, and names its drop-down list `label`.
// Call before anything asks for the box's accessible interface.
void readByLabel(QComboBox *box, const QString &label);
