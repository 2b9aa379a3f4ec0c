// The default About presenter writes the box on the terminal.
#include <iostream>
#include <mutex>
#include <string>

#include "about_host.h"
#include "platform/console.h"
#include "platform/text.h"

namespace zubmp3 {
namespace {

std::string utf8(const Text& text) { return platform::utf16_to_utf8(text); }

class TerminalAboutPresenter final : public AboutPresenter {
public:
    void present(const AboutContents& contents) override {
        std::cout << "== " << utf8(contents.caption) << " ==\n"
                  << utf8(contents.description);
        if (contents.description.empty() || contents.description.back() != u'\n') std::cout << '\n';
        std::cout << utf8(contents.maker) << '\n'
                  << utf8(contents.web_address) << '\n'
                  << utf8(contents.mail_address) << '\n';
        if (!platform::stdin_is_terminal()) {
            std::cout << '[' << utf8(contents.exit_caption) << "]\n" << std::flush;
            return;
        }
        for (;;) {
            std::cout << "w: open the web address, m: write a mail, Enter: " << utf8(contents.exit_caption) << "> "
                      << std::flush;
            std::string answer;
            if (!std::getline(std::cin, answer)) break;
            if (answer == "w" && contents.open_web) {
                contents.open_web();
            } else if (answer == "m" && contents.open_mail) {
                contents.open_mail();
            } else if (answer.empty()) {
                break;
            }
        }
    }
};

std::mutex presenter_mutex;
std::shared_ptr<AboutPresenter>& installed_presenter() {
    static std::shared_ptr<AboutPresenter> presenter;
    return presenter;
}

}  // namespace

void set_about_presenter(std::shared_ptr<AboutPresenter> presenter) {
    std::lock_guard lock(presenter_mutex);
    installed_presenter() = std::move(presenter);
}

namespace host {

void present_about(const AboutContents& contents) {
    std::shared_ptr<AboutPresenter> presenter;
    {
        std::lock_guard lock(presenter_mutex);
        presenter = installed_presenter();
    }
    if (!presenter) presenter = std::make_shared<TerminalAboutPresenter>();
    presenter->present(contents);
}

}  // namespace host
}  // namespace zubmp3
