#include "settings_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>

namespace zubmp3::gui {
namespace {

// The bitrates the engine accepts, in kbit/s.
constexpr int kBitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

QComboBox* bitrate_box(const QString& name, int chosen) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (const int rate : kBitrates) box->addItem(QStringLiteral("%1 kbit/s").arg(rate), rate);
    box->setCurrentIndex(box->findData(chosen));
    return box;
}

// Items show a label and carry the control's word.
QComboBox* word_box(const QString& name, const std::initializer_list<std::pair<const char*, const char*>>& items,
                    const QString& chosen) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    for (const auto& [label, word] : items) box->addItem(QString::fromUtf8(label), QString::fromUtf8(word));
    box->setCurrentIndex(box->findData(chosen));
    return box;
}

}  // namespace

SettingsPanel::SettingsPanel(QWidget* parent) : QGroupBox(tr("Encoding"), parent) {
    const EncodeSettings defaults;
    bitrate_ = bitrate_box(QStringLiteral("bitrate"), defaults.bitrate);
    mode_ = word_box(QStringLiteral("stereoMode"),
                     {{"Stereo", "stereo"}, {"Joint stereo", "joint"}, {"Dual channel", "dual"}, {"Mono", "mono"}},
                     defaults.mode);
    quality_ = word_box(QStringLiteral("quality"), {{"Normal", "normal"}, {"Low", "low"}, {"High", "high"}},
                        defaults.quality);
    vbr_ = new QCheckBox(tr("Variable bitrate, up to"));
    vbr_->setObjectName(QStringLiteral("vbr"));
    vbr_max_ = bitrate_box(QStringLiteral("vbrMax"), defaults.vbr_max);
    vbr_max_->setEnabled(false);
    connect(vbr_, &QCheckBox::toggled, vbr_max_, &QWidget::setEnabled);
    priority_ = new QComboBox;
    priority_->setObjectName(QStringLiteral("priority"));
    priority_->addItem(tr("Idle"), 1);
    priority_->addItem(tr("Normal"), 2);
    priority_->addItem(tr("High"), 3);
    priority_->setCurrentIndex(priority_->findData(defaults.priority));

    auto* vbr_row = new QHBoxLayout;
    vbr_row->addWidget(vbr_);
    vbr_row->addWidget(vbr_max_, 1);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Bitrate (minimum with VBR):"), bitrate_);
    form->addRow(tr("Stereo mode:"), mode_);
    form->addRow(tr("Quality:"), quality_);
    form->addRow(QString(), vbr_row);
    form->addRow(tr("Process priority:"), priority_);
}

EncodeSettings SettingsPanel::settings() const {
    EncodeSettings settings;
    settings.bitrate = bitrate_->currentData().toInt();
    settings.mode = mode_->currentData().toString();
    settings.quality = quality_->currentData().toString();
    settings.vbr = vbr_->isChecked();
    settings.vbr_max = vbr_max_->currentData().toInt();
    settings.priority = priority_->currentData().toInt();
    return settings;
}

}  // namespace zubmp3::gui
