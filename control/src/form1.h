// Form1: the control's About box. It exists only while it is shown.
#pragma once

#include "zubmp3/host.h"

namespace zubmp3 {

class Form1 {
public:
    // Loading sets the caption to the control's title.
    Form1();

    // Shows the box modally through the application's presenter.
    void Show();

    const AboutContents& contents() const { return contents_; }

    // The two address labels: the desktop's default program opens the address.
    void WebLabel_Click();
    void MailLabel_Click();

private:
    AboutContents contents_;
};

}  // namespace zubmp3
