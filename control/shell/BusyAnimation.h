#pragma once

#include <QTimer>
#include <QWidget>

// The toolbar's busy animation: 20 frames at 5 frames a second, played endlessly while a
// page loads and showing its first frame when stopped.
class CBusyAnimation : public QWidget
{
public:
    explicit CBusyAnimation(QWidget* parent = nullptr);

    void Play();
    // Stops and shows the first frame.
    void Stop();

    bool IsPlaying() const { return m_timer.isActive(); }
    int GetFrame() const { return m_frame; }

    static constexpr int kFrameCount = 20;
    static constexpr int kFramesPerSecond = 5;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    int m_frame = 0;
};
