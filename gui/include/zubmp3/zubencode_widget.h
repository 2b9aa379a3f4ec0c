// ZUBEncodeWidget: the ZUBEncode control on a Qt form. The widget owns the
// control, shows its face at the control's fixed size, forwards its events as
// Qt signals on the widget's (GUI) thread, and lets Qt's event loop drive the
// control's host loop, so the job poll runs while Qt's loop runs. While a
// widget exists, the control's About box is a modal Qt dialog.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "zubmp3/zubencode.h"

namespace zubmp3 {

class QtLoopDriver;

// Lets the calling thread's Qt event loop (the GUI thread's, or a QThread's
// exec()) drive that thread's host EventLoop for as long as the handle lives:
// timers tick when due and work posted from any thread runs at once, with no
// polling. Every widget holds one; a control created on a worker QThread
// without a widget needs one too if it starts jobs there.
ZUBMP3_API std::shared_ptr<QtLoopDriver> drive_host_loop_with_qt();

class ZUBMP3_API ZUBEncodeWidget : public QWidget {
    Q_OBJECT

public:
    explicit ZUBEncodeWidget(QWidget* parent = nullptr);
    ~ZUBEncodeWidget() override;  // stops the job this control started, without signals

    // The control itself: its fourteen methods, called on this widget's thread.
    // Its events come back as the signals below, synchronously, during the call
    // or the poll that raises them.
    ZUBEncode& control() { return control_; }

    // The control's fixed 550 x 550 twips in pixels at the screen's resolution.
    QSize sizeHint() const override;

    // Twips (1/1440 inch) to pixels at `dots_per_inch`.
    static int twips_to_pixels(int twips, int dots_per_inch);

signals:
    void errorCode(int number, const QString& description);
    void finished();
    void progress(int percent);
    void id3v1GenreList(bool clear, const QString& genre);

public slots:
    void about() { control_.About(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class Events;
    void apply_fixed_size();

    std::shared_ptr<QtLoopDriver> driver_;
    std::unique_ptr<Events> events_;
    ZUBEncode control_;
    ZUBEncode::Size twips_{};  // what the control answers to a resize
};

}  // namespace zubmp3
