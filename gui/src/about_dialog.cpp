#include "about_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace zubmp3 {
namespace {

QString qstring(const Text& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// A label showing `shown` as a link that opens `url` with the desktop's program.
QLabel* link_label(const QString& object_name, const QString& shown, const QUrl& url) {
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                 .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), shown.toHtmlEscaped()));
    label->setObjectName(object_name);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, label, [url] { QDesktopServices::openUrl(url); });
    return label;
}

}  // namespace

AboutDialog::AboutDialog(const AboutContents& contents, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(qstring(contents.caption));
    setModal(true);

    auto* caption = new QLabel(qstring(contents.caption));
    caption->setObjectName(QStringLiteral("caption"));
    QFont heading = caption->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.3);
    caption->setFont(heading);

    auto* description = new QPlainTextEdit(qstring(contents.description).trimmed());
    description->setObjectName(QStringLiteral("description"));
    description->setReadOnly(true);
    description->setMinimumWidth(460);
    description->setFixedHeight(description->fontMetrics().lineSpacing() * 8);

    auto* maker = new QLabel(qstring(contents.maker));
    maker->setObjectName(QStringLiteral("maker"));
    const QString web = qstring(contents.web_address);
    const QString mail = qstring(contents.mail_address);

    auto* exit = new QPushButton(qstring(contents.exit_caption));
    exit->setObjectName(QStringLiteral("exitButton"));
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(exit, QDialogButtonBox::AcceptRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(description);
    layout->addWidget(maker);
    layout->addWidget(link_label(QStringLiteral("webLink"), web, QUrl(web)));
    layout->addWidget(link_label(QStringLiteral("mailLink"), mail, QUrl(QStringLiteral("mailto:") + mail)));
    layout->addWidget(buttons);
}

void QtAboutPresenter::present(const AboutContents& contents) {
    const auto show = [&contents] {
        AboutDialog dialog(contents, QApplication::activeWindow());
        dialog.exec();
    };
    if (QThread::currentThread() == qApp->thread()) show();
    else QMetaObject::invokeMethod(qApp, show, Qt::BlockingQueuedConnection);
}

}  // namespace zubmp3
