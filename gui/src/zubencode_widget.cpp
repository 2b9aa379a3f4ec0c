#include "zubmp3/zubencode_widget.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "about_dialog.h"
#include "qt_loop_driver.h"

namespace zubmp3 {
namespace {

constexpr int kTwipsPerInch = 1440;

QString qstring(const Text& text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// The Qt About box is the control's while at least one widget exists (widgets
// live on the GUI thread only, so a plain count will do).
int live_widgets = 0;

void widget_created() {
    if (live_widgets++ == 0) set_about_presenter(std::make_shared<QtAboutPresenter>());
}

void widget_destroyed() {
    if (--live_widgets == 0) set_about_presenter(nullptr);
}

}  // namespace

// The control's events as the widget's signals, emitted at once on the
// control's thread. The handlers get copies: what a slot does with the
// arguments does not reach the control.
class ZUBEncodeWidget::Events final : public ZUBEncodeEvents {
public:
    explicit Events(ZUBEncodeWidget& widget) : widget_(widget) {}

    void ErrorCode(Long& number, Text& description) override { emit widget_.errorCode(number, qstring(description)); }
    void Finished() override { emit widget_.finished(); }
    void Progress(Long& percent) override { emit widget_.progress(percent); }
    void ID3v1GenreList(bool& clear, Text& genre) override { emit widget_.id3v1GenreList(clear, qstring(genre)); }

private:
    ZUBEncodeWidget& widget_;
};

ZUBEncodeWidget::ZUBEncodeWidget(QWidget* parent)
    : QWidget(parent), driver_(QtLoopDriver::for_current_thread()), events_(std::make_unique<Events>(*this)) {
    widget_created();
    control_.set_events(events_.get());
    setToolTip(qstring(control_.ControlName()));
    setAccessibleName(toolTip());
    apply_fixed_size();
}

ZUBEncodeWidget::~ZUBEncodeWidget() {
    control_.set_events(nullptr);
    widget_destroyed();
}

int ZUBEncodeWidget::twips_to_pixels(int twips, int dots_per_inch) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dots_per_inch / kTwipsPerInch));
}

QSize ZUBEncodeWidget::sizeHint() const {
    return {twips_to_pixels(twips_.width_twips, logicalDpiX()), twips_to_pixels(twips_.height_twips, logicalDpiY())};
}

// The control keeps its own size whatever the host asks for.
void ZUBEncodeWidget::apply_fixed_size() {
    twips_ = control_.Resize({width() * kTwipsPerInch / logicalDpiX(), height() * kTwipsPerInch / logicalDpiY()});
    setFixedSize(sizeHint());
}

// The screen (and its resolution) is known for certain once the widget is shown.
void ZUBEncodeWidget::showEvent(QShowEvent* event) {
    apply_fixed_size();
    QWidget::showEvent(event);
}

// The control's face: a fixed picture of a wave turning into "MP3".
void ZUBEncodeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = box.width() / 6;
    QLinearGradient fill(box.topLeft(), box.bottomRight());
    fill.setColorAt(0, QColor(0x2b, 0x6c, 0xb0));
    fill.setColorAt(1, QColor(0x1a, 0x36, 0x5d));
    painter.setPen(QPen(QColor(0x10, 0x20, 0x38), 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(box, radius, radius);

    QPainterPath wave;  // one period of a sine across the upper half
    const qreal top = box.top() + box.height() * 0.30, amplitude = box.height() * 0.12;
    for (int i = 0; i <= 24; ++i) {
        const qreal x = box.left() + box.width() * (0.15 + 0.70 * i / 24.0);
        const qreal y = top - amplitude * std::sin(i / 24.0 * 2 * std::numbers::pi);
        i == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    painter.setPen(QPen(QColor(0xf6, 0xad, 0x55), std::max<qreal>(1.0, box.width() / 24)));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(wave);

    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(6, static_cast<int>(box.height() * 0.30)));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(box.left(), box.top() + box.height() * 0.48, box.width(), box.height() * 0.45),
                     Qt::AlignCenter, QStringLiteral("MP3"));
}

}  // namespace zubmp3
