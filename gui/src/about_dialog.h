// The control's About box as a modal Qt dialog, and the presenter that shows
// it for the control.
#pragma once

#include <QDialog>

#include "zubmp3/host.h"

namespace zubmp3 {

// Caption as the window title and heading, the description, the maker, the
// web and mail addresses as links (opened through QDesktopServices) and an
// "Exit" button.
class AboutDialog final : public QDialog {
public:
    explicit AboutDialog(const AboutContents& contents, QWidget* parent = nullptr);
};

// Shows AboutDialog modally on the GUI thread; a call from another thread
// waits there until the dialog is closed.
class QtAboutPresenter final : public AboutPresenter {
public:
    void present(const AboutContents& contents) override;
};

}  // namespace zubmp3
