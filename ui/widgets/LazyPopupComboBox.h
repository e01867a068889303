#pragma once
// A drop-down list whose popup is made when it is first opened. A plain
// QComboBox makes its popup (a list view with its scroll bars, delegate and
// gestures) on any change of its font, and the designed lists take their
// font as they are built: three popups at every start that most runs never
// open, a third of a megabyte and two million instructions. No Q_OBJECT:
// to Qt, to the tests and to a screen reader it is a QComboBox.

#include <QComboBox>

class LazyPopupComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void showPopup() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    bool popupHasFont_ = false; // the popup follows the list's font from its first opening on
};
