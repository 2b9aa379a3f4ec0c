// The encoding options, as the control's words and numbers.
#pragma once

#include <QGroupBox>

#include "job_queue.h"

class QCheckBox;
class QComboBox;

namespace zubmp3::gui {

class SettingsPanel final : public QGroupBox {
public:
    explicit SettingsPanel(QWidget* parent = nullptr);
    EncodeSettings settings() const;

private:
    QComboBox* bitrate_;
    QComboBox* mode_;
    QComboBox* quality_;
    QCheckBox* vbr_;
    QComboBox* vbr_max_;
    QComboBox* priority_;
};

}  // namespace zubmp3::gui
