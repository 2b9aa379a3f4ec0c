#include "form1.h"

#include "about_host.h"
#include "platform/text.h"
#include "platform/win32.h"
#include "product.h"

namespace zubmp3 {
namespace {

constexpr char16_t kDescription[] =
    u"ActiveX OCX to encode wav pcm in mp3 files , the code is optimized for new processors , ability to pause "
    u"resume and cancel the execution , full ID3 v1 v1.1 v2 tags support in read and write mode , it has progress "
    u"information support , VBR support , ability to change the priority level of the encoding process\r\n";

// Hands an address to the desktop; when nothing can open it, nothing happens.
void open_with_shell(const Text& address) {
    ShellExecuteA(nullptr, "open", platform::utf16_to_latin1(address).c_str(), "", "C:\\", SW_SHOWNORMAL);
}

}  // namespace

Form1::Form1() {
    contents_.caption = kControlTitle;
    contents_.description = kDescription;
    contents_.maker = kMakerName;
    contents_.web_address = kMakerWebAddress;
    contents_.mail_address = kMakerMailAddress;
    contents_.exit_caption = u"Exit";
    contents_.open_web = [this] { WebLabel_Click(); };
    contents_.open_mail = [this] { MailLabel_Click(); };
}

void Form1::Show() { host::present_about(contents_); }

void Form1::WebLabel_Click() { open_with_shell(contents_.web_address); }

void Form1::MailLabel_Click() { open_with_shell(u"mailto:" + contents_.mail_address); }

}  // namespace zubmp3
