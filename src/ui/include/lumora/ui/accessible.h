// What assistive technologies (screen readers, over AT-SPI) see of the
// lists and the status bar, beyond what Qt gives every widget.
//
// A list is a List of rows, one ListItem per row named by its title, and
// each row's cells below it, each described by its column's header; a row
// of a check-box list carries a CheckBox (named by the title) where the box
// is drawn. Actions: Toggle on a check box or its row toggles it as the
// user's click would; Press on a row of a list without check boxes opens it
// as a double-click would. The status bar is a StatusBar whose parts are its
// labels.
#pragma once

namespace lumora {

// Once, after QApplication exists, before the windows are built. UI thread.
void install_accessibility();

}  // namespace lumora
