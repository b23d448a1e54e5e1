#pragma once

#include "calehost_export.h"

#include <QTimer>
#include <QWidget>

// A small looping picture: a magnifier sweeping over a sheet, as while searching files. Driven by
// a timer, so it keeps playing while the GUI thread waits on the server in a local event loop.
// Inactive, it shows its stop frame.
class CALEHOST_EXPORT TAnimate : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 24;

    explicit TAnimate(QWidget *parent = nullptr);

    bool Active() const { return m_timer.isActive(); }
    // Starts from the first frame, or stops on the stop frame.
    void SetActive(bool active);
    // Frame shown while inactive, 1 to FrameCount.
    int StopFrame() const { return m_stopFrame; }
    void SetStopFrame(int frame);
    // Frame on show, 1 to FrameCount.
    int CurrentFrame() const { return m_frame; }

    QSize sizeHint() const override { return QSize(80, 50); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_frame = 1;
    int m_stopFrame = 1;
};
