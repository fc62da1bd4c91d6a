// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's part of "中 / EN": the button, and what the window shows beyond its captions.
#include "editor/ProgramGrid.h"
#include "mainwindow/Mainfrm.h"

#include <QLayout>

// The whole tool changes between Chinese and English. A cell being edited is abandoned, as
// every other command of the window does.
void Mainfrm::switchLanguage()
{
    HideCellEditors();
    m_language.use(m_language.language() == Language::Chinese ? Language::English : Language::Chinese);
    // The captions are in the new language; the commands beside the grid may have grown or
    // shrunk with them, so the columns are laid out afresh, their titles with them.
    showStatus();
    centralWidget()->layout()->activate();
    layoutGridColumns();
    program::RetranslateNames(*MSFlexGrid1);
}
