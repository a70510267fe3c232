#pragma once

class QPushButton;

/// From now on Enter (Return or the keypad's Enter) on `button` while it
/// has the focus clicks it, as in the native dialogs, whether or not it is
/// the dialog's default button; Enter anywhere else is left to the dialog.
void ClickOnEnter(QPushButton* button);
